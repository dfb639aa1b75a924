#include "popup/ie_events.h"

#include <cmath>
#include <limits>

#include "kernel/app_error.h"

namespace tidewell::popup {

namespace {
IEEventTarget* gIEWindowsPtr = nullptr;

[[noreturn]] void typeMismatch() {
    throw AppError(errors::TypeMismatch, "Type mismatch");
}
[[noreturn]] void overflow() {
    throw AppError(errors::Overflow, "Overflow");
}

// Numbers the classic way: Booleans are -1/0, empty is 0, text must be a number.
double toNumber(const EventValue& v) {
    if (std::holds_alternative<std::monostate>(v)) {
        return 0;
    }
    if (const bool* b = std::get_if<bool>(&v)) {
        return *b ? -1 : 0;
    }
    if (const std::int32_t* i = std::get_if<std::int32_t>(&v)) {
        return *i;
    }
    if (const double* d = std::get_if<double>(&v)) {
        return *d;
    }
    if (const std::string* s = std::get_if<std::string>(&v)) {
        return toLongStrict(*s);
    }
    typeMismatch();
}

template <typename T> T toIntegral(const EventValue& v) {
    const double d = toNumber(v);
    if (std::isnan(d)) {
        overflow();
    }
    // Banker's rounding, as the classic integer conversions do.
    const double r = std::nearbyint(d);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max())) {
        overflow();
    }
    return static_cast<T>(r);
}
} // namespace

std::int16_t toInt16(const EventValue& v) {
    return toIntegral<std::int16_t>(v);
}
std::int32_t toInt32(const EventValue& v) {
    return toIntegral<std::int32_t>(v);
}

float toFloat(const EventValue& v) {
    const double d = toNumber(v);
    if (std::isfinite(d) && std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max())) {
        overflow();
    }
    return static_cast<float>(d);
}

bool toBool(const EventValue& v) {
    if (const std::string* s = std::get_if<std::string>(&v)) {
        if (*s == "True" || *s == "true") {
            return true;
        }
        if (*s == "False" || *s == "false") {
            return false;
        }
    }
    return toNumber(v) != 0;
}

ObjectRef toObject(const EventValue& v) {
    if (const ObjectRef* o = std::get_if<ObjectRef>(&v)) {
        return *o;
    }
    if (std::holds_alternative<std::monostate>(v)) {
        return {};
    }
    typeMismatch();
}

std::vector<EventValue> relayArray(std::int32_t code, std::span<const EventValue> arguments) {
    std::size_t size = 0;
    switch (code) {
    case kNavigationBegin:
        size = 7;
        break;
    case kNavigationComplete:
    case kDocumentComplete:
    case kCommandStateChange:
        size = 2;
        break;
    case kMouseDown:
    case kMouseUp:
        size = 4;
        break;
    default:
        return {};
    }
    std::vector<EventValue> array(size);
    for (std::size_t i = 0; i < size && i < arguments.size(); ++i) {
        array[i] = arguments[i];
    }
    if (code == kNavigationBegin) {
        // The listener gets a copy of Cancel, never the browser's own.
        array[6] = toBool(array[6]);
    }
    return array;
}

void RaiseIEEvent(IEWindowsEvents& l, std::int32_t code, std::int32_t& hwnd,
                  std::vector<EventValue>& a) {
    switch (code) {
    case kNavigationBegin: {
        bool cancel = toBool(a.at(6));
        l.IENavigationBegin(hwnd, toObject(a.at(0)), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5),
                            cancel);
        break;
    }
    case kNavigationComplete:
        l.IENavigationComplete(hwnd, toObject(a.at(0)), a.at(1));
        break;
    case kDownloadBegin:
        l.IEDownloadBegin(hwnd);
        break;
    case kDownloadComplete:
        l.IEDownloadComplete(hwnd);
        break;
    case kDocumentComplete:
        l.IEDocumentComplete(hwnd, toObject(a.at(0)), a.at(1));
        break;
    case kMouseDown:
        l.IEMouseDown(hwnd, toInt16(a.at(0)), toInt16(a.at(1)), toFloat(a.at(2)), toFloat(a.at(3)));
        break;
    case kMouseUp:
        l.IEMouseUp(hwnd, toInt16(a.at(0)), toInt16(a.at(1)), toFloat(a.at(2)), toFloat(a.at(3)));
        break;
    case kContextMenu:
        l.IEOnContextMenu(hwnd);
        break;
    case kCommandStateChange:
        l.IECommandStateChange(hwnd, toInt32(a.at(0)), toBool(a.at(1)));
        break;
    default:
        break;
    }
}

void setEventTarget(IEEventTarget* target) noexcept {
    gIEWindowsPtr = target;
}
IEEventTarget* eventTarget() noexcept {
    return gIEWindowsPtr;
}

void RelayIEEvent(std::int32_t code, std::int32_t& hwnd, std::span<const EventValue> arguments) {
    std::vector<EventValue> array = relayArray(code, arguments);
    if (IEEventTarget* target = gIEWindowsPtr) {
        target->RaiseIEEvent(code, hwnd, array);
    }
}

} // namespace tidewell::popup
