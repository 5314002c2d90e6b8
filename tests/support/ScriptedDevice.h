// A device for tests whose behaviour is scripted: its identity, driver version, failures of
// the control requests, and the fate of each read and write.
//
// By default it is a well-behaved instrument look-alike: every write completes in full and
// its bytes are queued as the reply (or whatever `answer` makes of them), and every read
// delivers the oldest queued reply; a read with no reply queued stays pending until a reply is
// queued or it is cancelled. Steps queued with scriptWrite()/scriptRead() override that for
// the next transfers, one step per transfer.
#pragma once

#include "InstrumentUsbIds.h"
#include "ModelledDevice.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zt40::test {

class ScriptedDevice : public driver::ModelledDevice {
public:
    struct Config {
        std::string name = "scripted";
        std::uint16_t vendorId = InstrumentUsb::VendorId;
        std::uint16_t productId = InstrumentUsb::ProductId;
        std::uint16_t interfaceVersion = 0x0141;
        DWORD openError = 0;       // CreateFileA refuses with this, e.g. ERROR_ACCESS_DENIED
        DWORD descriptorError = 0; // the descriptor requests fail with this
        DWORD configureError = 0;  // the configuration request fails with this
        DWORD bindError = 0;       // binding bindErrorEndpoint (0 = any) fails with this
        std::uint8_t bindErrorEndpoint = 0;
        std::uint32_t controlLatencyMs = 0; // control requests complete this much later
        // Cancelled transfers finish this much later on the stand-in's clock, as real drivers
        // do; a cancelled read then delivers these bytes if any (the reply was on its way).
        std::uint32_t cancelLatencyMs = 0;
        std::vector<std::uint8_t> lateReply;
        std::vector<driver::EndpointInfo> endpoints{{InstrumentUsb::InEndpoint, 0x03, 8, 10},
                                                    {InstrumentUsb::OutEndpoint, 0x03, 8, 10}};
    };

    enum class Action {
        Complete,         // as by default
        CompleteAtOnce,   // as by default, reported complete by ReadFile/WriteFile itself
        Never,            // stays pending until cancelled
        FailAtSubmission, // ReadFile/WriteFile fails with `error`
        FailLater,        // pending, then fails with `error` after `delayMs`
        Short,            // completes with only `count` bytes
        Delay,            // completes as by default after `delayMs` of the stand-in's clock
    };
    struct Step {
        Action action = Action::Complete;
        DWORD error = ERROR_GEN_FAILURE;
        std::uint32_t count = 0;
        std::uint32_t delayMs = 0;
    };

    ScriptedDevice();
    explicit ScriptedDevice(Config config);

    // The next writes or reads follow these steps, one each.
    void scriptWrite(Step step);
    void scriptRead(Step step);
    // What transfers do once their steps are used up (default: Complete).
    void setDefaultWrite(Step step);
    void setDefaultRead(Step step);

    // Makes the reply to the bytes of each completed write (default: the same bytes).
    void setAnswer(std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> f);
    // Queues a reply; a read waiting for one completes with it.
    void queueReply(std::vector<std::uint8_t> reply);

    void unplug();
    void plugIn();

    // What the device saw.
    std::vector<std::vector<std::uint8_t>> writes() const;
    int cancellations() const;
    int opens() const;

    // Device
    std::string name() const override { return config_.name; }
    bool present() override { return plugged_; }
    DWORD open() override;
    std::uint16_t interfaceVersion() override { return config_.interfaceVersion; }
    std::uint32_t controlLatencyMs() override { return config_.controlLatencyMs; }
    DWORD getDescriptor(std::uint32_t recipient, std::uint8_t type, std::uint8_t index,
                        std::uint16_t languageId, std::uint8_t* out, std::uint32_t size,
                        std::uint32_t& returned) override;
    DWORD setConfiguration(std::uint16_t configurationIndex,
                           const std::vector<driver::InterfaceChoice>& interfaces) override;
    DWORD bindPipe(std::uint8_t endpointAddress) override;
    void submit(const std::shared_ptr<driver::Transfer>& transfer) override;
    void cancel(const std::shared_ptr<driver::Transfer>& transfer) override;

private:
    Step nextStep(bool in);
    void succeed(const std::shared_ptr<driver::Transfer>& t, const Step& step, bool atOnce,
                 std::uint32_t count);
    void completeWrite(const std::shared_ptr<driver::Transfer>& t, const Step& step, bool atOnce);
    bool deliverReply(const std::shared_ptr<driver::Transfer>& t, const Step& step, bool atOnce);
    void serveWaitingReads();

    Config config_;
    bool plugged_ = true;
    std::deque<Step> writeSteps_;
    std::deque<Step> readSteps_;
    Step defaultWrite_;
    Step defaultRead_;
    std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> answer_;
    std::deque<std::vector<std::uint8_t>> replies_;
    // Reads waiting for a reply, with the step they are to follow.
    std::deque<std::pair<std::shared_ptr<driver::Transfer>, Step>> waitingReads_;
    std::vector<std::vector<std::uint8_t>> writes_;
    int cancellations_ = 0;
    int opens_ = 0;
};

} // namespace zt40::test
