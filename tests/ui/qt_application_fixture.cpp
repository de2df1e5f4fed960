// One QApplication on the offscreen platform for every test of the suite, with the font
// substitutions the program installs.
#include <cstdlib>

#include <gtest/gtest.h>
#include <QApplication>

#include "ui/fonts.h"

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        unsetenv("ZVFIRM_MESSAGE_LOG");
        static int argc = 1;
        static char name[] = "zv_ui_tests";
        static char* argv[] = {name, nullptr};
        application_ = new QApplication(argc, argv);
        ui::InstallFontSubstitutions();
    }
    void TearDown() override {
        delete application_;
        application_ = nullptr;
    }

private:
    QApplication* application_ = nullptr;
};

const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
