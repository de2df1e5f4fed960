#include "ui/notice_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/notice_text.h"
#include "config/program_values.h"
#include "config/update_config.h"
#include "platform/message_box.h"
#include "ui/color_label.h"
#include "ui/shown_text.h"

namespace {

constexpr ColorRef kWhite = 0xFFFFFF;
constexpr ColorRef kBlack = 0x000000;
constexpr ColorRef kBlue = 0xFF0000;
constexpr ColorRef kGrey = 0x808080;

const char kJapaneseGothic[] = "ＭＳ ゴシック";

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CNoticeDlg::CNoticeDlg(QWidget* parent) : QDialog(parent) {
    controls_ = ui::BuildDialog(*this, ui::NoticeDialogTemplate());
    if (auto* ok = controls_.As<QPushButton>(ui::kIdcOk))
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    if (auto* cancel = controls_.As<QPushButton>(ui::kIdcCancel))
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

CColorLabel* CNoticeDlg::Label(int id) const { return controls_.As<CColorLabel>(id); }

int CNoticeDlg::DoModal() {
    OnInitDialog();
    return exec() == QDialog::Accepted ? platform::kIdOk : platform::kIdCancel;
}

void CNoticeDlg::OnInitDialog() {
    const bool japanese = UseJapanese();
    const std::string_view patterns =
        ui::FieldText(Config.InquiryPatterns, sizeof Config.InquiryPatterns);
    // The identity's bytes as the user's code page shows them.
    NoticeIdentity identity = DeriveNoticeIdentity(patterns);
    for (std::string* text : {&identity.vendor, &identity.model, &identity.product})
        *text = ui::ShownUtf8(*text, japanese);
    const std::string version(ui::FieldText(Config.Version, 4));

    Label(ui::kIdcBackgroundPanel)->SetLabelBkColor(kWhite);

    setWindowTitle(FromUtf8(NoticeTitle(identity, ui::ShownUtf8(version, japanese))));

    CColorLabel* product = Label(ui::kIdcProductLine);
    product->SetLabelTextColor(kBlue);
    product->SetLabelBkColor(kWhite);
    product->SetLabelFont(190, "Times New Roman Bold");
    product->setText(FromUtf8(identity.product + "  Firmware"));

    CColorLabel* versionLine = Label(ui::kIdcVersionLine);
    versionLine->SetLabelTextColor(kBlack);
    versionLine->SetLabelBkColor(kWhite);
    versionLine->SetLabelFont(150, "Times New Roman");
    versionLine->setText(FromUtf8("Version " + ui::ShownUtf8(version, japanese)));

    const std::string classWord = DriveClassWord(Config.CautionKind);

    CColorLabel* information = Label(ui::kIdcInformationLine);
    if (NoticeNamesAspi(Config)) {
        information->setText(FromUtf8(AspiNeededText(japanese)));
        if (japanese) information->SetLabelFont(90, kJapaneseGothic);
    } else {
        information->setText(QString());
    }
    information->SetLabelTextColor(kBlack);
    information->SetLabelBkColor(kWhite);

    CColorLabel* group = Label(ui::kIdcNoticeGroup);
    group->SetLabelTextColor(kBlack);
    group->SetLabelBkColor(kWhite);

    CColorLabel* notice = Label(ui::kIdcNoticeText);
    if (japanese) notice->SetLabelFont(90, kJapaneseGothic);
    noticeText_ = AssembleNoticeText(identity, classWord, japanese);
    notice->SetLabelTextColor(kBlack);
    notice->SetLabelBkColor(kWhite);
    notice->setText(FromUtf8(noticeText_));

    if (!identity.ourLogo) controls_.Find(ui::kIdcLogo)->hide();

    CColorLabel* copyright = Label(ui::kIdcCopyrightLine);
    copyright->SetLabelTextColor(kGrey);
    copyright->SetLabelBkColor(kWhite);
    copyright->SetLabelFont(85, "Arial");

    notice->setFocus(Qt::OtherFocusReason);
}
