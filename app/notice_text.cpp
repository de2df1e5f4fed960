#include "app/notice_text.h"

#include <cstring>

namespace {

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string TrimRight(std::string text) {
    while (!text.empty() && IsWhite(text.back())) text.pop_back();
    return text;
}

std::string Patterns(const UpdateConfig& config) {
    return std::string(config.InquiryPatterns,
                       strnlen(config.InquiryPatterns, sizeof config.InquiryPatterns));
}

// The 16 characters after the vendor word, cut at the first ';'.
std::string ProductField(const std::string& patterns) {
    std::string product = patterns.size() > 8 ? patterns.substr(8, 16) : std::string();
    const size_t semicolon = product.find(';');
    if (semicolon != std::string::npos) product.resize(semicolon);
    return product;
}

std::string Model(const std::string& patterns) {
    std::string product = patterns.size() > 8 ? patterns.substr(8, 16) : std::string();
    size_t start = 0;
    while (start < product.size() && IsWhite(product[start])) ++start;
    product = product.substr(start);
    const size_t semicolon = product.find(';');
    if (semicolon != std::string::npos) product.resize(semicolon);
    std::string words[2];
    int count = 0;
    for (size_t i = 0; i < product.size() && count < 2;) {
        while (i < product.size() && IsWhite(product[i])) ++i;
        size_t end = i;
        while (end < product.size() && !IsWhite(product[end])) ++end;
        if (end > i) words[count++] = product.substr(i, end - i);
        i = end;
    }
    std::string model = count >= 2 ? words[1] : words[0];
    if (model.size() > 16) model.resize(16);
    return model;
}

std::string DriveClassWord(uint8_t cautionKind) {
    switch (cautionKind) {
    case 1: return "CD-R";
    case 2: return "CD-R/RW";
    case 3: return "CD-ROM";
    case 4: return "DVD±R/RW";
    default: return "";
    }
}

}  // namespace

NoticeParts MakeNoticeParts(const UpdateConfig& config, bool japanese) {
    const std::string patterns = Patterns(config);
    const std::string vendor = TrimRight(patterns.substr(0, 8));
    const std::string model = Model(patterns);
    const std::string version(config.Version, strnlen(config.Version, 4));
    const std::string word = DriveClassWord(config.CautionKind);

    NoticeParts parts;
    parts.Title = model + " Firmware " + version + " - Welcome";
    parts.ProductLine = TrimRight(ProductField(patterns)) + "  Firmware";
    parts.VersionLine = "Version " + version;
    if (config.OsKind == 0 || config.NoPassThrough != 0)
        parts.AspiLine = japanese ? "本プログラムの実行にはWNASPI32.DLLが必要です。"
                                  : "WNASPI32.DLL is necessary for this program.";
    if (!japanese) {
        parts.Notice =
            vendor + " " + word +
            " Drive Firmware Update Program\r\n\r\nThis program can update the firmware for the " +
            vendor + " " + word + " Drive, Model " + model + "\r\n\r\n" + vendor +
            " DOES NOT, AND CANNOT, WARRANT THE PERFORMANCE OF, OR THE RESULTS YOU MAY OBTAIN "
            "BY USING THIS SOFTWARE.\r\nAT NO TIME WILL " +
            vendor +
            " BE LIABLE FOR ANY DAMAGES INCLUDING, BUT NOT LIMITED TO, LOST PROFITS OR "
            "CONSEQUENTIAL DAMAGES, EVEN IF " +
            vendor +
            " HAS BEEN ADVISED OF THE POSSIBILITY OF SUCH DAMAGES, OR FOR ANY CLAIM BY ANY "
            "OTHER PARTY.\r\n\r\nCAUTION!\r\nPlease close any other software application(s) "
            "that are running, and eject any disc that may be present in the " +
            word + " drive you wish to update.";
        return parts;
    }
    const std::string japaneseVendor = vendor.compare(0, 7, "ZORVANT") == 0 ? "ゾルバント" : vendor;
    parts.Notice = vendor + " " + word +
                   "ドライブ　ファームウェア更新プログラム\r\n\r\n本プログラムは" + vendor + " " +
                   word + " " + model + " のファームウェアを更新します。" + "\r\n\r\n" +
                   japaneseVendor +
                   "は、本ソフトウェアを使用することによって得られる動作や結果の影響について、一切"
                   "の責任及び業務から"
                   "逃れるものとします。\r\n本ソフトウェアを使用することによって生じた利益の損失、"
                   "重大なダメージ、"
                   "金銭的損害など、いかなる損害に対し、たとえ" +
                   japaneseVendor +
                   "が、そのようなダメージの可能性について認知していたとしても、あるいは第三者から"
                   "指摘されていたとしても、"
                   "一切責任を負わないものとします。\r\n\r\n警告！\r\nアップグレードを行う前に、起"
                   "動中の他のアプリケー"
                   "ションを全て終了し、" +
                   word + "ドライブからディスクを取り出して下さい。";
    return parts;
}
