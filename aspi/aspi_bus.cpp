#include "aspi/aspi_bus.h"

namespace aspi {

namespace {

// A command of a bus that can only carry commands out whole: it runs when it is collected.
class DeferredCommand final : public StartedCommand {
public:
    DeferredCommand(Bus& bus, int adapter, int target, int lun, const uint8_t* cdb,
                    uint8_t cdbLength, DataDirection direction, uint8_t* data, uint32_t length)
        : bus_(bus),
          adapter_(adapter),
          target_(target),
          lun_(lun),
          cdb_(cdb),
          cdbLength_(cdbLength),
          direction_(direction),
          data_(data),
          length_(length) {}

    bool TryCollect(DeviceOutcome* /*outcome*/) override { return false; }
    DeviceOutcome Collect() override {
        return bus_.Execute(adapter_, target_, lun_, cdb_, cdbLength_, direction_, data_, length_);
    }

private:
    Bus& bus_;
    const int adapter_, target_, lun_;
    const uint8_t* const cdb_;
    const uint8_t cdbLength_;
    const DataDirection direction_;
    uint8_t* const data_;
    const uint32_t length_;
};

}  // namespace

std::unique_ptr<StartedCommand> Bus::Start(int adapter, int target, int lun, const uint8_t* cdb,
                                           uint8_t cdbLength, DataDirection direction,
                                           uint8_t* data, uint32_t length) {
    return std::make_unique<DeferredCommand>(*this, adapter, target, lun, cdb, cdbLength, direction,
                                             data, length);
}

}  // namespace aspi
