#include "devices/AnswerKind.h"

const char* AnswerKindText(AnswerKind kind) {
    switch (kind) {
        case AnswerKind::Success:
            return "success";
        case AnswerKind::DeviceError:
            return "device error";
        case AnswerKind::NotDelivered:
            return "not delivered";
        case AnswerKind::TimedOut:
            return "timed out";
        case AnswerKind::Cut:
            return "cut";
        case AnswerKind::None:
            break;
    }
    return "none";
}
