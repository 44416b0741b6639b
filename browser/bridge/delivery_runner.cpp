#include "browser/bridge/delivery_runner.h"

#include <utility>

namespace tessel::bridge {

void DeliveryRunner::run(Delivery d) {
    if (d.typed) keys_.type(*d.typed, d.keyStrokes);
    if (d.notify) {
        vibration_.release();
        goodRead_.release();
    }
    if (d.resultBox) showResult_(*d.resultBox);
    lastArgs_ = std::move(d.args);
    Variant result;
    invoker_.invoke(d.function, lastArgs_, result);
}

}  // namespace tessel::bridge
