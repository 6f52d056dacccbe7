#include <string>
#include <vector>

#ifdef _WIN32
#include "service/WindowsServiceControl.h"
using EntryPoint = WindowsServiceControl;
#else
#include "service/ServiceControl.h"
using EntryPoint = ServiceControl;
#endif

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    EntryPoint control;
    return control.Main(arguments);
}
