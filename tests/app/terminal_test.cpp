// The terminal's message boxes and the display check made before the window framework.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/display_check.h"
#include "app/terminal_message_boxes.h"

namespace {

struct AnswerCase {
    const char* name;
    const char* typed;  // null: no input at all
    bool yes;           // --yes
    int answer;
    const char* shown;  // what follows the prompt
};

TEST(TerminalMessageBoxes, QuestionsAreAnsweredFromTheInputOrByYes) {
    // clang-format off
    const AnswerCase cases[] = {
        {"y", "y\n", false, platform::kIdYes, "\n"},
        {"YES with blanks", "  YES \n", false, platform::kIdYes, "\n"},
        {"n", "n\n", false, platform::kIdNo, "\n"},
        {"asks again", "maybe\nno\n", false, platform::kIdNo, "Please answer y or n: \n"},
        {"end of input", "", false, platform::kIdNo, "n (end of input)\n\n"},
        {"no input", nullptr, false, platform::kIdNo, "n (no input)\n\n"},
        {"--yes reads nothing", "n\n", true, platform::kIdYes, "y (--yes)\n\n"},
    };
    // clang-format on
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        char* written = nullptr;
        size_t size = 0;
        std::FILE* output = open_memstream(&written, &size);
        std::string typed = c.typed != nullptr ? c.typed : "";
        std::FILE* input =
            c.typed != nullptr ? fmemopen(typed.data(), typed.size() + 1, "r") : nullptr;
        if (input != nullptr && typed.empty()) {
            std::fclose(input);
            input = std::tmpfile();
        }
        TerminalMessageBoxes boxes(output, input, c.yes, false);
        EXPECT_EQ(boxes.Show("Later version.\r\n\r\nDo you continue it ?",
                             "Information - Upgrade Program", platform::MessageIcon::Information,
                             platform::MessageButtons::YesNo),
                  c.answer);
        std::fclose(output);
        if (input != nullptr) std::fclose(input);
        EXPECT_EQ(
            std::string(written, size),
            std::string(
                "Information - Upgrade Program\nLater version.\n\nDo you continue it ?\n[y/n] ") +
                c.shown);
        std::free(written);
    }
}

TEST(TerminalMessageBoxes, AnOkBoxIsPrintedAndAnsweredOk) {
    char* written = nullptr;
    size_t size = 0;
    std::FILE* output = open_memstream(&written, &size);
    TerminalMessageBoxes boxes(output, nullptr, false, true);
    EXPECT_EQ(boxes.Show("ドライブが見つかりません。", "Error - Upgrade Program",
                         platform::MessageIcon::Stop, platform::MessageButtons::Ok),
              platform::kIdOk);
    std::fclose(output);
    EXPECT_EQ(std::string(written, size),
              "Error - Upgrade Program\nドライブが見つかりません。\n\n");
    std::free(written);
}

// A listening Unix socket in a folder of its own.
class ListeningSocket {
public:
    ListeningSocket() {
        char pattern[] = "/tmp/zvfirm-display-XXXXXX";
        folder_ = mkdtemp(pattern);
        path_ = folder_ + "/wayland-0";
        descriptor_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
        EXPECT_EQ(bind(descriptor_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(descriptor_, 4), 0);
    }
    ~ListeningSocket() {
        close(descriptor_);
        std::filesystem::remove_all(folder_);
    }
    const std::string& Folder() const { return folder_; }
    const std::string& Path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
    int descriptor_ = -1;
};

TEST(DisplayCheck, NeedsAReachableServerUnlessQtIsToldOtherwise) {
    ListeningSocket wayland;
    const std::string missingSocket = wayland.Folder() + "/wayland-9";
    struct Case {
        const char* name;
        std::map<std::string, std::string> environment;
        bool available;
    };
    // clang-format off
    const Case cases[] = {
        {"nothing set", {}, false},
        {"empty DISPLAY", {{"DISPLAY", ""}}, false},
        {"X display without a server", {{"DISPLAY", ":64999"}}, false},
        {"malformed DISPLAY", {{"DISPLAY", "nonsense"}}, false},
        {"offscreen platform", {{"QT_QPA_PLATFORM", "offscreen"}}, true},
        {"xcb platform without a server", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":64999"}}, false},
        {"Wayland socket by path", {{"WAYLAND_DISPLAY", wayland.Path()}}, true},
        {"Wayland socket in the runtime folder",
         {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_RUNTIME_DIR", wayland.Folder()}}, true},
        {"Wayland name without a socket", {{"WAYLAND_DISPLAY", missingSocket}}, false},
        {"xcb chosen, only Wayland there",
         {{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", wayland.Path()}}, false},
        {"wayland chosen, socket there", {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", wayland.Path()}},
         true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto lookup = [&c](const char* name) -> const char* {
            auto found = c.environment.find(name);
            return found == c.environment.end() ? nullptr : found->second.c_str();
        };
        EXPECT_EQ(DisplayAvailable(lookup), c.available);
    }
}

}  // namespace
