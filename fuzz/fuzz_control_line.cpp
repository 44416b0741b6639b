// Parses arbitrary bytes as a simulator control request and checks what a parsed request holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "terminal/control_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto command = tessel::terminal::parseControlLine(line, error);
    if (!command) {
        if (error.empty()) std::abort();
        return 0;
    }
    using Kind = tessel::terminal::ControlCommand::Kind;
    const std::size_t n = command->data.size();
    if (command->kind == Kind::Barcode && (n == 0 || n > size)) std::abort();
    if (command->kind == Kind::Tag && n != 0 && n != 4 && n != 7) std::abort();
    if (command->kind == Kind::Power && n != 0) std::abort();
    if (command->kind == Kind::Signal && (command->signalDbm < tessel::terminal::kMinSignalDbm || command->signalDbm > 0))
        std::abort();
    return 0;
}
