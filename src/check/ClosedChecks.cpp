#include "check/ClosedChecks.h"

#include <vector>

#include "platform/Text.h"

void ClosedChecks::Add(Why why) {
    switch (why) {
        case Why::ByHand:
            ++byHand;
            break;
        case Why::Refused:
            ++refused;
            break;
        case Why::Split:
            ++split;
            break;
        case Why::ByRules:
            ++byRules;
            break;
    }
}

std::string ClosedChecks::Text() const {
    if (Total() == 0) {
        return "";
    }
    std::vector<std::string> parts;
    const std::pair<int, const char*> kinds[] = {
        {byHand, "by hand"}, {refused, "refused"}, {split, "split"}, {byRules, "by the rules"}};
    for (const auto& [count, name] : kinds) {
        if (count > 0) {
            parts.push_back(text::Format("%d %s", count, name));
        }
    }
    return text::Format("%d closed without registration (", Total()) + text::Join(parts, ", ") + ")";
}
