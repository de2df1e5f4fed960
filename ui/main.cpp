// zvfirm: the Qt application around the start-up sequence.
#include <clocale>
#include <iostream>
#include <optional>

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/firmware_updater_app.h"
#include "app/run_services.h"
#include "app/terminal_program.h"
#include "config/program_values.h"
#include "platform/platform.h"
#include "ui/dialog_stages.h"
#include "ui/fonts.h"
#include "ui/qt_message_boxes.h"

int main(int argc, char** argv) {
    // Every service of the run is chosen here, once, before anything uses one. The shown
    // boxes are only used once the window framework runs below.
    ui::QtMessageBoxes shownBoxes;
    const RunServices services(RunSettingsFromEnvironment(), shownBoxes, std::cerr);

    // The terminal modes, a package folder, and one plain line instead of Qt's abort when no
    // display can be opened: all before Qt starts.
    if (const std::optional<int> status = StartFromCommandLine(argc, argv)) return *status;

    QApplication application(argc, argv);
    // QApplication sets the whole C locale from the environment. Version strings are read
    // with "%f", which in a German locale would stop at the '.' of "1.04": keep numbers in
    // the C locale and leave the other categories to the user's locale.
    std::setlocale(LC_NUMERIC, "C");

    // Qt's own translation gives the Japanese labels of the Yes/No buttons; the program's
    // texts choose their language themselves.
    QTranslator qtTranslations;
    if (platform::Platform().System->UserDefaultLcid() == kLcidJapanese &&
        qtTranslations.load(QStringLiteral("qtbase_ja"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);

    // The dialogs run one after the other, each in its own loop: the moment between them,
    // with no window shown, must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    ui::InstallFontSubstitutions();

    DialogStages stages;
    CFirmwareUpdaterApp app(stages);
    app.InitInstance();
    return app.ExitStatus();
}
