#include "app/notice_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kVendorLength = 8;
constexpr size_t kProductLength = 16;
constexpr size_t kModelRoom = 16;
constexpr size_t kVersionLength = 4;
constexpr std::string_view kOurVendor = "ZORVANT";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

std::string_view CutAtSemicolon(std::string_view text) {
    const size_t end = text.find(';');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && IsBlank(text[at])) ++at;
        const size_t begin = at;
        while (at < text.size() && !IsBlank(text[at])) ++at;
        if (at > begin) words.push_back(text.substr(begin, at - begin));
    }
    return words;
}

}  // namespace

NoticeIdentity DeriveNoticeIdentity(std::string_view patterns) {
    const std::string_view head = patterns.substr(0, std::min(patterns.size(), kVendorLength));
    const std::string_view productPart = patterns.size() > kVendorLength
                                             ? patterns.substr(kVendorLength, kProductLength)
                                             : std::string_view();
    const std::string_view vendor = TrimRight(head);
    const std::vector<std::string_view> words = Words(CutAtSemicolon(TrimLeft(productPart)));
    std::string_view model = words.size() >= 2 ? words[1] : words.empty() ? "" : words[0];
    model = model.substr(0, std::min(model.size(), kModelRoom));

    NoticeIdentity identity;
    identity.vendor = std::string(vendor);
    identity.model = std::string(model);
    identity.product = std::string(TrimRight(CutAtSemicolon(productPart)));
    identity.ourVendor = vendor.substr(0, kOurVendor.size()) == kOurVendor;
    identity.ourLogo = head == "ZORVANT ";
    return identity;
}

std::string DriveClassWord(uint8_t cautionKind) {
    switch (cautionKind) {
    case 1: return "CD-R";
    case 2: return "CD-R/RW";
    case 3: return "CD-ROM";
    case 4:
        // One character in either language; shown from UTF-8, the code page plays no part.
        return "DVD±R/RW";
    default: return "";
    }
}

std::string NoticeTitle(const NoticeIdentity& identity, std::string_view version) {
    return identity.model + " Firmware " + std::string(version) + " - Welcome";
}

std::string AssembleNoticeText(const NoticeIdentity& id, const std::string& classWord,
                               bool japanese) {
    const std::string& vendor = id.vendor;
    if (japanese) {
        const std::string jvendor = id.ourVendor ? std::string("ゾルバント") : vendor;
        return vendor + " " + classWord +
               "ドライブ　ファームウェア更新プログラム\r\n\r\n本プログラムは" + vendor + " " +
               classWord + " " + id.model + " のファームウェアを更新します。" + "\r\n\r\n" +
               jvendor +
               "は、本ソフトウェアを使用することによって得られる動作や結果の影響について、一切の責"
               "任及び業務から逃れるものとします。\r\n本ソフトウェアを使用することによって生じた利"
               "益の損失、重大なダメージ、金銭的損害など、いかなる損害に対し、たとえ" +
               jvendor +
               "が、そのようなダメージの可能性について認知していたとしても、あるいは第三者から指摘"
               "されていたとしても、一切責任を負わないものとします。\r\n\r\n警告！\r\nアップグレー"
               "ドを行う前に、起動中の他のアプリケーションを全て終了し、" +
               classWord + "ドライブからディスクを取り出して下さい。";
    }
    return vendor + " " + classWord +
           " Drive Firmware Update Program\r\n\r\nThis program can update the firmware for the " +
           vendor + " " + classWord + " Drive, Model " + id.model + "\r\n\r\n" + vendor +
           " DOES NOT, AND CANNOT, WARRANT THE PERFORMANCE OF, OR THE RESULTS YOU MAY OBTAIN BY "
           "USING THIS SOFTWARE.\r\nAT NO TIME WILL " +
           vendor +
           " BE LIABLE FOR ANY DAMAGES INCLUDING, BUT NOT LIMITED TO, LOST PROFITS OR "
           "CONSEQUENTIAL DAMAGES, EVEN IF " +
           vendor +
           " HAS BEEN ADVISED OF THE POSSIBILITY OF SUCH DAMAGES, OR FOR ANY CLAIM BY ANY OTHER "
           "PARTY.\r\n\r\nCAUTION!\r\nPlease close any other software application(s) that are "
           "running, and eject any disc that may be present in the " +
           classWord + " drive you wish to update.";
}

std::string AspiNeededText(bool japanese) {
    return japanese ? "本プログラムの実行にはWNASPI32.DLLが必要です。"
                    : "WNASPI32.DLL is necessary for this program.";
}

bool NoticeNamesAspi(const UpdateConfig& config) {
    return config.OsKind == 0 || config.NoPassThrough != 0;
}

NoticeParts MakeNoticeParts(const UpdateConfig& config, bool japanese) {
    const std::string_view patterns(config.InquiryPatterns,
                                    strnlen(config.InquiryPatterns, sizeof config.InquiryPatterns));
    const NoticeIdentity identity = DeriveNoticeIdentity(patterns);
    const std::string version(config.Version, strnlen(config.Version, kVersionLength));

    NoticeParts parts;
    parts.Title = NoticeTitle(identity, version);
    parts.ProductLine = identity.product + "  Firmware";
    parts.VersionLine = "Version " + version;
    if (NoticeNamesAspi(config)) parts.AspiLine = AspiNeededText(japanese);
    parts.Notice = AssembleNoticeText(identity, DriveClassWord(config.CautionKind), japanese);
    return parts;
}
