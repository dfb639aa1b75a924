#pragma once
// Module Events: the event codes between the window sinks and the tracker,
// the tracker's events as a listener interface, and the relay that turns a
// sink's arguments into the tracker event of its code.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tidewell::popup {

enum IEEventCode : std::int32_t {
    kNavigationBegin = 1,    // BeforeNavigate2
    kNavigationComplete = 2, // NavigateComplete2
    kDownloadBegin = 3,
    kDownloadComplete = 4,
    kDocumentComplete = 5, // top-level document only
    kMouseDown = 6,
    kMouseUp = 7,
    kContextMenu = 8,
    kCommandStateChange = 9,
};

// The browser or frame object a browser passed; the edge knows its type.
struct ObjectRef {
    std::shared_ptr<void> object;
    bool operator==(const ObjectRef& o) const noexcept { return object == o.object; }
};

// A value as the browser passed it.
using EventValue = std::variant<std::monostate, bool, std::int32_t, double, std::string, ObjectRef>;

// Conversions to the declared types of the tracker's events. A value that
// does not convert throws AppError 13 (type mismatch) or 6 (overflow).
std::int16_t toInt16(const EventValue& v);
std::int32_t toInt32(const EventValue& v);
float toFloat(const EventValue& v);
bool toBool(const EventValue& v);
ObjectRef toObject(const EventValue& v);

// The tracker's eleven events. The main window listens to the first two.
class IEWindowsEvents {
public:
    virtual ~IEWindowsEvents() = default;
    virtual void IEWindowRegistered() {}
    virtual void IEWindowRevoked() {}
    virtual void IENavigationBegin(std::int32_t& /*hwnd*/, const ObjectRef& /*pDisp*/,
                                   EventValue& /*URL*/, EventValue& /*Flags*/,
                                   EventValue& /*TargetFrameName*/, EventValue& /*PostData*/,
                                   EventValue& /*Headers*/, bool& /*Cancel*/) {}
    virtual void IENavigationComplete(std::int32_t& /*hwnd*/, const ObjectRef& /*pDisp*/,
                                      EventValue& /*URL*/) {}
    virtual void IEDocumentComplete(std::int32_t& /*hwnd*/, const ObjectRef& /*pDisp*/,
                                    EventValue& /*URL*/) {}
    virtual void IEDownloadBegin(std::int32_t& /*hwnd*/) {}
    virtual void IEDownloadComplete(std::int32_t& /*hwnd*/) {}
    virtual void IEOnContextMenu(std::int32_t& /*hwnd*/) {}
    virtual void IEMouseDown(std::int32_t& /*hwnd*/, std::int16_t /*Button*/,
                             std::int16_t /*Shift*/, float /*X*/, float /*Y*/) {}
    virtual void IEMouseUp(std::int32_t& /*hwnd*/, std::int16_t /*Button*/, std::int16_t /*Shift*/,
                           float /*X*/, float /*Y*/) {}
    virtual void IECommandStateChange(std::int32_t& /*hwnd*/, std::int32_t /*Command*/,
                                      bool /*Enable*/) {}
};

// The argument array of a code: 7 elements for 1 (the last a plain Boolean
// copied from the sink's Cancel), 2 for 2, 5 and 9, 4 for 6 and 7, none for
// any other code. Missing arguments are empty values.
std::vector<EventValue> relayArray(std::int32_t code, std::span<const EventValue> arguments);

// Converts the array and raises the tracker event of the code on `listener`;
// codes outside 1-9 raise nothing.
void RaiseIEEvent(IEWindowsEvents& listener, std::int32_t code, std::int32_t& hwnd,
                  std::vector<EventValue>& array);

// The one tracker the relay reaches, held without ownership. The tracker
// sets it when it is created and clears it when it ends.
class IEEventTarget {
public:
    virtual ~IEEventTarget() = default;
    virtual void RaiseIEEvent(std::int32_t code, std::int32_t& hwnd,
                              std::vector<EventValue>& array) = 0;
};
void setEventTarget(IEEventTarget* target) noexcept;
IEEventTarget* eventTarget() noexcept;

// Called by every sink: builds the array and raises the tracker's event.
// Does nothing while no tracker exists.
void RelayIEEvent(std::int32_t code, std::int32_t& hwnd, std::span<const EventValue> arguments);

} // namespace tidewell::popup
