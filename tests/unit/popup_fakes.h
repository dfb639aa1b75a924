#pragma once
// Doubles of the popup killer's ports, for the unit and the integration
// tests alike: key states and tones, and a listener that records what it is
// told.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "popup/ie_events.h"
#include "popup/popup_rules.h"

namespace tidewell::testing_popup {

class FakeInput : public popup::InputPort {
public:
    std::map<int, std::int16_t> state; // per key, what each read returns
    std::vector<int> reads;
    std::vector<std::pair<unsigned, unsigned>> beeps;
    std::int16_t asyncKeyState(int vk) override {
        reads.push_back(vk);
        auto it = state.find(vk);
        return it == state.end() ? std::int16_t{0} : it->second;
    }
    void beep(unsigned hz, unsigned ms) override { beeps.emplace_back(hz, ms); }
};

class RecordingListener : public popup::IEWindowsEvents {
public:
    std::vector<std::string> calls;
    std::vector<std::int32_t> hwnds; // the window of each browser event
    std::int16_t button = 0, shift = 0;
    std::int32_t command = 0;
    bool enable = false;
    popup::EventValue url;

    void IEWindowRegistered() override { listChanged("registered"); }
    void IEWindowRevoked() override { listChanged("revoked"); }
    void IENavigationBegin(std::int32_t& h, const popup::ObjectRef&, popup::EventValue& u,
                           popup::EventValue&, popup::EventValue&, popup::EventValue&,
                           popup::EventValue&, bool& c) override {
        record("begin", h);
        url = u;
        c = !c; // a listener changes only its own copy
    }
    void IENavigationComplete(std::int32_t& h, const popup::ObjectRef&,
                              popup::EventValue&) override {
        record("navcomplete", h);
    }
    void IEDocumentComplete(std::int32_t& h, const popup::ObjectRef&, popup::EventValue&) override {
        record("doccomplete", h);
    }
    void IEDownloadBegin(std::int32_t& h) override { record("dlbegin", h); }
    void IEDownloadComplete(std::int32_t& h) override { record("dlcomplete", h); }
    void IEOnContextMenu(std::int32_t& h) override { record("menu", h); }
    void IEMouseDown(std::int32_t& h, std::int16_t b, std::int16_t s, float, float) override {
        mouse("down", h, b, s);
    }
    void IEMouseUp(std::int32_t& h, std::int16_t b, std::int16_t s, float, float) override {
        mouse("up", h, b, s);
    }
    void IECommandStateChange(std::int32_t& h, std::int32_t c, bool e) override {
        record("command", h);
        command = c, enable = e;
    }

protected:
    virtual void listChanged(const char* what) { calls.push_back(what); }

private:
    void record(const char* what, std::int32_t h) {
        calls.push_back(what);
        hwnds.push_back(h);
    }
    void mouse(const char* what, std::int32_t h, std::int16_t b, std::int16_t s) {
        record(what, h);
        button = b, shift = s;
    }
};

} // namespace tidewell::testing_popup
