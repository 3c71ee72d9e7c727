#include "SessionTempo.h"

#include <ableton/Link.hpp>

namespace {

class TLinkSessionTempo : public TSessionTempo {
public:
    explicit TLinkSessionTempo(double bpm) : link_(bpm) { link_.enable(true); }
    ~TLinkSessionTempo() override { link_.enable(false); }

    double Bpm() override { return link_.captureAppSessionState().tempo(); }

    void SetBpm(double bpm) override {
        auto state = link_.captureAppSessionState();
        state.setTempo(bpm, link_.clock().micros());
        link_.commitAppSessionState(state);
    }

private:
    ableton::Link link_;
};

} // namespace

std::unique_ptr<TSessionTempo> JoinLinkSession(double bpm) {
    return std::make_unique<TLinkSessionTempo>(bpm);
}
