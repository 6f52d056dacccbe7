#include <string>
#include <vector>

#include "service/ServiceControl.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    ServiceControl control;
    return control.Main(arguments);
}
