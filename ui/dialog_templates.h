// The two dialog templates as data: every control with its identifier, kind, text, place
// and size in dialog units, and style. Both dialogs are built from these by dialog_layout.
#pragma once

#include <cstdint>
#include <span>

namespace ui {

enum class ControlKind {
    PushButton,
    StaticText,  // a label (CColorLabel where the dialog binds one)
    GroupBox,
    Picture,  // a static bitmap
    DropDownList,
    ProgressBar,
};

// Style bits of a control, as far as they change its look or behaviour here.
enum ControlStyle : uint32_t {
    kStyleNone = 0,
    kDefaultButton = 1u << 0,  // pressed by Enter
    kTabStop = 1u << 1,
    kAlignRight = 1u << 2,
    kWrap = 1u << 3,  // text breaks at word boundaries
    kVerticalCentre = 1u << 4,
    kSunkenEdge = 1u << 5,   // thin sunken border (static edge)
    kSunkenFrame = 1u << 6,  // sunken frame of a panel
    kDisabled = 1u << 7,
    kTransparent = 1u << 8,
    kColorLabel = 1u << 9,  // bound as a CColorLabel
    kVerticalScroll = 1u << 10,
    kSegmented = 1u << 11,  // progress bar drawn in blocks
    kBorder = 1u << 12,
};

struct ControlTemplate {
    int id;  // -1: a control the code never refers to
    ControlKind kind;
    const char* text;  // UTF-8
    int x, y, cx, cy;  // dialog units
    uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;  // client area, dialog units
    int fontPoints;
    const char* fontFace;
    bool minimizeBox;
    // In template order: the first control lies on top of the later ones.
    std::span<const ControlTemplate> controls;
};

// Control identifiers shared by both dialogs.
constexpr int kIdcOk = 1;
constexpr int kIdcCancel = 2;

// Notice dialog.
constexpr int kNoticeDialogId = 129;
constexpr int kIdcBackgroundPanel = 1007;
constexpr int kIdcProductLine = 1008;
constexpr int kIdcVersionLine = 1009;
constexpr int kIdcNoticeText = 1010;
constexpr int kIdcInformationLine = 1011;
constexpr int kIdcNoticeGroup = 1012;
constexpr int kIdcCopyrightLine = 1013;
constexpr int kIdcLogo = 1014;

// Main dialog.
constexpr int kUpdateDialogId = 102;
constexpr int kIdcDriveList = 103;
constexpr int kIdcProgress = 104;
constexpr int kIdcStatusLine = 1032;

const DialogTemplate& NoticeDialogTemplate();
const DialogTemplate& UpdateDialogTemplate();

}  // namespace ui
