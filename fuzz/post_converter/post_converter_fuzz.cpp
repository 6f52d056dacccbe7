// post_converter.txt as an installer may write it.
#include "FuzzSupport.h"
#include "storage/CPostConverter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPostConverter converter;
    converter.Parse(fuzz::Text(data, size));
    fuzz::Require(converter.categories.size() <= converter.descriptions.size(), "a code comes with a description");
    for (const auto& entry : converter.descriptions) {
        const std::u16string& description = entry.second;
        // A character beyond the basic plane takes two UTF-16 units.
        fuzz::Require(description.size() <= 2 * CPostConverter::kMaxLineLength, "a line is cut to its length");
    }
    return 0;
}
