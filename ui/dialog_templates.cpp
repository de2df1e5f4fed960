#include "ui/dialog_templates.h"

namespace ui {

namespace {

using K = ControlKind;

const ControlTemplate kNoticeControls[] = {
    {kIdcOk, K::PushButton, "&OK", 73, 240, 46, 14, kDefaultButton | kTabStop},
    {kIdcCancel, K::PushButton, "Cancel", 127, 240, 46, 14, kTabStop},
    {kIdcProductLine, K::StaticText, "CD-ROM/R/RW", 10, 10, 226, 15,
     kWrap | kTransparent | kColorLabel},
    {kIdcVersionLine, K::StaticText, "Firmware version", 10, 25, 226, 13,
     kWrap | kAlignRight | kTransparent | kColorLabel},
    {kIdcInformationLine, K::StaticText, "Information", 10, 206, 160, 16,
     kWrap | kTransparent | kColorLabel},
    {kIdcNoticeGroup, K::GroupBox, "Notice", 8, 40, 232, 160, kTransparent | kColorLabel},
    {kIdcNoticeText, K::StaticText, "Text", 12, 52, 224, 142, kWrap | kTransparent | kColorLabel},
    {kIdcLogo, K::Picture, ":/zvfirm/logo.png", 172, 206, 69, 18, kTransparent},
    {kIdcCopyrightLine, K::StaticText, "Copyright (C) 2026 the zvfirm authors", 120, 226, 120, 8,
     kWrap | kAlignRight | kTransparent | kColorLabel},
    {kIdcBackgroundPanel, K::StaticText, "", 4, 4, 240, 230,
     kSunkenFrame | kDisabled | kColorLabel},
};

const ControlTemplate kUpdateControls[] = {
    {kIdcOk, K::PushButton, "&UPDATE", 196, 7, 64, 14, kDefaultButton | kTabStop},
    {kIdcCancel, K::PushButton, "&EXIT", 196, 21, 64, 14, kTabStop},
    {-1, K::GroupBox, "DRIVE Information", 0, 1, 192, 36, kStyleNone},
    {kIdcDriveList, K::DropDownList, "", 6, 11, 180, 63, kVerticalScroll | kTabStop},
    {kIdcProgress, K::ProgressBar, "Progress1", 5, 27, 180, 6, kBorder | kSegmented},
    {kIdcStatusLine, K::StaticText, "Static", 0, 41, 262, 9,
     kVerticalCentre | kSunkenEdge | kColorLabel},
};

const DialogTemplate kNotice{kNoticeDialogId, "Welcome",      248, 258, 9, "Tahoma",
                             false,           kNoticeControls};
const DialogTemplate kUpdate{kUpdateDialogId, "ZVFirm3", 262, 51, 8, "Arial", true,
                             kUpdateControls};

}  // namespace

const DialogTemplate& NoticeDialogTemplate() { return kNotice; }
const DialogTemplate& UpdateDialogTemplate() { return kUpdate; }

}  // namespace ui
