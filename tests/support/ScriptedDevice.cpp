#include "ScriptedDevice.h"

#include <algorithm>
#include <cstring>

namespace zt40::test {

using driver::InterfaceChoice;
using driver::ModelledDevice;
using driver::standInMutex;
using driver::Transfer;

ScriptedDevice::ScriptedDevice() : ScriptedDevice(Config{}) {}

ScriptedDevice::ScriptedDevice(Config config)
    : ModelledDevice(config.vendorId, config.productId, config.endpoints),
      config_(std::move(config)) {}

void ScriptedDevice::scriptWrite(Step step) {
    std::lock_guard lock(standInMutex());
    writeSteps_.push_back(step);
}

void ScriptedDevice::scriptRead(Step step) {
    std::lock_guard lock(standInMutex());
    readSteps_.push_back(step);
}

void ScriptedDevice::setDefaultWrite(Step step) {
    std::lock_guard lock(standInMutex());
    defaultWrite_ = step;
}

void ScriptedDevice::setDefaultRead(Step step) {
    std::lock_guard lock(standInMutex());
    defaultRead_ = step;
}

void ScriptedDevice::setAnswer(
    std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> f) {
    std::lock_guard lock(standInMutex());
    answer_ = std::move(f);
}

void ScriptedDevice::queueReply(std::vector<std::uint8_t> reply) {
    std::lock_guard lock(standInMutex());
    replies_.push_back(std::move(reply));
    serveWaitingReads();
}

void ScriptedDevice::unplug() {
    std::lock_guard lock(standInMutex());
    plugged_ = false;
    // A removed device fails what it still holds.
    auto waiting = std::move(waitingReads_);
    waitingReads_.clear();
    for (auto& [transfer, step] : waiting) {
        transfer->complete(ERROR_DEVICE_NOT_CONNECTED, 0);
    }
}

void ScriptedDevice::plugIn() {
    std::lock_guard lock(standInMutex());
    plugged_ = true;
}

std::vector<std::vector<std::uint8_t>> ScriptedDevice::writes() const {
    std::lock_guard lock(standInMutex());
    return writes_;
}

int ScriptedDevice::cancellations() const {
    std::lock_guard lock(standInMutex());
    return cancellations_;
}

int ScriptedDevice::opens() const {
    std::lock_guard lock(standInMutex());
    return opens_;
}

DWORD ScriptedDevice::open() {
    if (config_.openError != 0) {
        return config_.openError;
    }
    ++opens_;
    return 0;
}

DWORD ScriptedDevice::getDescriptor(std::uint32_t recipient, std::uint8_t type, std::uint8_t index,
                                    std::uint16_t languageId, std::uint8_t* out, std::uint32_t size,
                                    std::uint32_t& returned) {
    if (config_.descriptorError != 0) {
        returned = 0;
        return config_.descriptorError;
    }
    return ModelledDevice::getDescriptor(recipient, type, index, languageId, out, size, returned);
}

DWORD ScriptedDevice::setConfiguration(std::uint16_t configurationIndex,
                                       const std::vector<InterfaceChoice>& interfaces) {
    if (config_.configureError != 0) {
        return config_.configureError;
    }
    return ModelledDevice::setConfiguration(configurationIndex, interfaces);
}

DWORD ScriptedDevice::bindPipe(std::uint8_t endpointAddress) {
    if (config_.bindError != 0 &&
        (config_.bindErrorEndpoint == 0 || config_.bindErrorEndpoint == endpointAddress)) {
        return config_.bindError;
    }
    return ModelledDevice::bindPipe(endpointAddress);
}

ScriptedDevice::Step ScriptedDevice::nextStep(bool in) {
    auto& steps = in ? readSteps_ : writeSteps_;
    if (steps.empty()) {
        return in ? defaultRead_ : defaultWrite_;
    }
    Step step = steps.front();
    steps.pop_front();
    return step;
}

void ScriptedDevice::submit(const std::shared_ptr<Transfer>& transfer) {
    const bool in = transfer->isIn();
    const Step step = nextStep(in);
    switch (step.action) {
    case Action::FailAtSubmission:
        transfer->complete(step.error, 0);
        return;
    case Action::Never:
        return;
    case Action::FailLater:
        transfer->completeAfter(step.delayMs, step.error, 0);
        return;
    case Action::Complete:
    case Action::CompleteAtOnce:
    case Action::Short:
    case Action::Delay:
        break;
    }
    const bool atOnce = step.action == Action::CompleteAtOnce;
    if (!in) {
        completeWrite(transfer, step, atOnce);
        serveWaitingReads();
    } else if (!deliverReply(transfer, step, atOnce)) {
        waitingReads_.emplace_back(transfer, step);
    }
}

void ScriptedDevice::succeed(const std::shared_ptr<Transfer>& t, const Step& step, bool atOnce,
                             std::uint32_t count) {
    if (step.action == Action::Delay) {
        t->completeAfter(step.delayMs, 0, count);
    } else if (atOnce) {
        t->completeAtOnce(count);
    } else {
        t->complete(0, count);
    }
}

void ScriptedDevice::completeWrite(const std::shared_ptr<Transfer>& t, const Step& step,
                                   bool atOnce) {
    std::uint32_t n = t->size();
    if (step.action == Action::Short) {
        n = std::min(n, step.count);
    }
    std::vector<std::uint8_t> bytes(t->data(), t->data() + n);
    writes_.push_back(bytes);
    replies_.push_back(answer_ ? answer_(bytes) : bytes);
    succeed(t, step, atOnce, n);
}

bool ScriptedDevice::deliverReply(const std::shared_ptr<Transfer>& t, const Step& step,
                                  bool atOnce) {
    if (replies_.empty()) {
        return false;
    }
    const std::vector<std::uint8_t> reply = std::move(replies_.front());
    replies_.pop_front();
    std::uint32_t n = std::min<std::uint32_t>(static_cast<std::uint32_t>(reply.size()), t->size());
    if (step.action == Action::Short) {
        n = std::min(n, step.count);
    }
    if (t->data() != nullptr && n > 0) {
        std::memcpy(t->data(), reply.data(), n);
    }
    succeed(t, step, atOnce, n);
    return true;
}

void ScriptedDevice::serveWaitingReads() {
    while (!waitingReads_.empty() && !replies_.empty()) {
        auto [transfer, step] = waitingReads_.front();
        waitingReads_.pop_front();
        if (!transfer->completed()) {
            deliverReply(transfer, step, false);
        }
    }
}

void ScriptedDevice::cancel(const std::shared_ptr<Transfer>& transfer) {
    std::erase_if(waitingReads_, [&](const auto& w) { return w.first == transfer; });
    ++cancellations_;
    if (config_.cancelLatencyMs == 0) {
        transfer->complete(ERROR_OPERATION_ABORTED, 0);
    } else if (transfer->isIn() && !config_.lateReply.empty()) {
        transfer->completeAfter(config_.cancelLatencyMs, 0, config_.lateReply);
    } else {
        transfer->completeAfter(config_.cancelLatencyMs, ERROR_OPERATION_ABORTED, 0);
    }
}

} // namespace zt40::test
