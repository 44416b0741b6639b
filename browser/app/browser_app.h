#pragma once
// BrowserApp: the program from start to end. It refuses a second instance on the same device
// root (raising the first), binds the terminal's system-services library, builds MainDialog on
// the window thread and turns the loop until the main window is gone, answering the messages
// other processes send by name meanwhile.
//
//   BrowserApp app(parts, options, commandLine);
//   return app.run();   // the calling thread becomes the window thread

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "browser/app/main_dialog.h"
#include "browser/reader/system_services.h"
#include "platform/library_loader.h"
#include "platform/message_channel.h"

namespace tessel::app {

struct AppParts {
    ShellContext& context;
    platform::LibraryLoader& loader;
    platform::Registry* registry = nullptr;
    ReaderAccess& readers;
    ShellHooks& hooks;
    platform::Keyboard* keyboard = nullptr;
    platform::PageExternal* external = nullptr;
};

class BrowserApp {
public:
    enum class Outcome { Ended, OtherInstanceRaised, NoLibrary, NoChannel };

    BrowserApp(AppParts parts, settings::BrowserOptions options, std::string commandLine);
    ~BrowserApp();

    // Runs the program; the result says how it ended.
    Outcome run();
    // Why the message channel could not be opened (with NoChannel).
    const std::string& channelError() const { return channelError_; }
    // The main window while the program runs (tests reach it on the window thread).
    MainDialog* mainDialog() { return main_.get(); }
    // The terminal library's status entry points while the program runs; null before and after.
    const reader::StatusBinding* statusBinding() const { return status_ ? &*status_ : nullptr; }

private:
    std::string answer(const platform::ChannelRequest& request);

    AppParts parts_;
    settings::BrowserOptions options_;
    std::string commandLine_;
    std::string channelError_;
    std::optional<reader::StatusBinding> status_;
    std::unique_ptr<SignalSource> signal_;
    std::unique_ptr<platform::MessageServer> server_;
    std::unique_ptr<MainDialog> main_;
};

}  // namespace tessel::app
