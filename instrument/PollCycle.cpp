#include "PollCycle.h"

#include <utility>

namespace zt40 {

void PollCycle::start() {
    if (env_.Open()) {
        env_.setTimer1Enabled(true);
        env_.setTimer1Interval(PollIntervalStartMs);
        setConnection(ConnectionState::Opened);
    } else {
        env_.setStatusText(env_.uiText(SlotCannotOpen));
        env_.setTimer2Enabled(true);
        setConnection(ConnectionState::Waiting);
    }
}

void PollCycle::Timer1Timer() {
    // The first tick of the run starts the serial number reading; a reconnection does not.
    if (!started_) {
        decoder_.serialBytes.fill(0x00);
        serialCounter_ = 0;
        lastReplyCode_ = 0;
        lastHalf_ = 0;
        pollState_ = PollState::AskSerial;
        started_ = true;
    }

    // Move on when the last reply answered what the state asked for.
    if (pollState_ == PollState::AskFirmware && lastReplyCode_ == Code::ReadFirmware) {
        pollState_ = PollState::AskFirstHalf;
    } else if (pollState_ == PollState::AskFirstHalf && lastReplyCode_ == Code::ReadMeasurement &&
               lastHalf_ == 0) {
        pollState_ = PollState::AskSecondHalf;
    } else if (pollState_ == PollState::AskSecondHalf && lastReplyCode_ == Code::ReadMeasurement &&
               lastHalf_ == 1) {
        pollState_ = PollState::AskFirmware;
    }

    switch (pollState_) {
    case PollState::AskSerial:
        if (serialCounter_ < static_cast<int>(SerialLength)) {
            buildReadSerial(frame_, static_cast<std::uint16_t>(serialCounter_));
        } else {
            buildReadSerial(frame_, 0);
            pollState_ = PollState::AskFirmware;
        }
        break;
    case PollState::AskFirmware:
        buildReadFirmware(frame_);
        break;
    case PollState::AskFirstHalf:
        buildReadMeasurement(frame_, 0);
        break;
    case PollState::AskSecondHalf:
        buildReadMeasurement(frame_, 1);
        break;
    case PollState::SendMeasure:
        buildMeasureRequest(frame_, false);
        pollState_ = PollState::AskFirmware;
        break;
    case PollState::SendMeasureLight:
        buildMeasureRequest(frame_, true);
        pollState_ = PollState::AskFirmware;
        break;
    default:
        // Not reachable once started; the frame goes out as it stands.
        break;
    }

    if (env_.Exchange(frame_)) {
        setConnection(ConnectionState::Connected);
        lastReplyCode_ = frame_[0];
        lastHalf_ = 0;
        const DecodeResult result = decodeReply(frame_, decoder_, env_.decimalSeparator());
        switch (result.replyCode) {
        case Code::ReadMeasurement:
            lastHalf_ = result.halfSelector;
            if (result.kind == DecodeKind::Reading) {
                showReading(result.reading);
            }
            break;
        case Code::ReadFirmware:
            env_.setFirmwareText(firmwareText(result));
            env_.setTimer1Interval(PollIntervalRunningMs);
            break;
        case Code::ReadSerial:
            if (result.kind == DecodeKind::SerialByte) {
                if (result.serialIndex == serialCounter_) {
                    ++serialCounter_;
                }
                env_.setSerialText(serialText(decoder_));
            }
            break;
        default:
            break;
        }
        env_.setStatusText({});
        return;
    }

    // Only the second failed exchange since the link was opened gives the connection up.
    if (failureCount_ == 0) {
        failureCount_ = 1;
        return;
    }
    env_.setTimer1Enabled(false);
    failureCount_ = 0;
    env_.Close();
    env_.setStatusText(env_.uiText(SlotConnectionLost));
    env_.setTimer2Enabled(true);
    setConnection(ConnectionState::Lost);
}

bool PollCycle::readingInProgress() const {
    // Between ticks: the first half came and the next tick asks for the second, or the second
    // is asked for and has not come yet.
    const bool halfIn = lastReplyCode_ == Code::ReadMeasurement;
    return (pollState_ == PollState::AskFirstHalf && halfIn && lastHalf_ == 0) ||
           (pollState_ == PollState::AskSecondHalf && !(halfIn && lastHalf_ == 1));
}

void PollCycle::setConnection(ConnectionState state) {
    if (state != connection_) {
        env_.connectionStateChanged(std::exchange(connection_, state), state);
    }
}

void PollCycle::showReading(const InstrumentReading& reading) {
    env_.setValueText(valueDisplayText(reading));
    const auto f = reading.modeFlags;
    env_.setModeLetters((f & ModeFlagL) ? 'L' : ' ', (f & ModeFlagC) ? 'C' : ' ',
                        (f & ModeFlagD) ? 'D' : ' ');
    // Date first, then time: two separate reads of the clock.
    const std::string date = env_.currentDateText();
    const std::string time = env_.currentTimeText();
    env_.appendMeasurementRow(date, time, modeText(reading), valueListText(reading));
}

void PollCycle::Timer2Timer() {
    if (env_.Open()) {
        env_.setTimer1Enabled(true);
        env_.setTimer2Enabled(false);
        env_.setTimer1Interval(PollIntervalStartMs);
        failureCount_ = 0;
        setConnection(connection_ == ConnectionState::Lost ? ConnectionState::Reopened
                                                           : ConnectionState::Opened);
        return;
    }
    env_.setStatusText(env_.uiText(SlotCannotOpen));
}

void PollCycle::messenClick() {
    pollState_ = lightOption_ ? PollState::SendMeasureLight : PollState::SendMeasure;
}

void PollCycle::lichtClick() {
    lightOption_ = !lightOption_;
    env_.showLightButton(lightOption_);
}

} // namespace zt40
