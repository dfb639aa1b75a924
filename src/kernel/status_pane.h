#pragma once
#include <cstdint>
#include <string>

namespace tidewell {

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

// Colours by meaning.
inline constexpr Colour kProgressBlue{0, 0, 255};
inline constexpr Colour kFinishedGreen{0, 128, 0};
inline constexpr Colour kErrorRed{255, 0, 0};
inline constexpr Colour kDoneBlack{0, 0, 0};

// The status pane on the "Main" tab that long operations report to.
class StatusPane {
public:
    virtual ~StatusPane() = default;
    virtual void Clear() = 0;
    // Colour of the selection, and so of the text appended next.
    virtual void SetColour(Colour colour) = 0;
    // Replaces the selection with its own text followed by `text`.
    virtual void Append(const std::string& text) = 0;
    virtual void Repaint() = 0;
};

// Lines are started, not ended, with a line break.
inline void appendLine(StatusPane& pane, Colour colour, const std::string& text) {
    pane.SetColour(colour);
    pane.Append("\r\n" + text);
}

// The status label below the tabs.
class StatusLabel {
public:
    virtual ~StatusLabel() = default;
    virtual void SetText(const std::string& text) = 0;
    virtual std::string Text() const = 0;
};

inline constexpr const char* kStatusReady = "Ready";

} // namespace tidewell
