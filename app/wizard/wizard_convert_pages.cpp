// The conversion of CD-server images: the image folder (page 17, a folder where the CD server's
// image share is mounted), the choice of images (page 16), the target unit and folder (page 18),
// and the finisher that uploads each chosen image to the unit and has it convert them.
#include "fmwizard.h"

#include "file_handle.h"
#include "fmmsg.h"
#include "kinddialog.h"
#include "message_format.h"
#include "msgbox.h"
#include "nasserver.h"
#include "unit_text.h"

#include "vcl/application.h"
#include "vcl/dialogs.h"
#include "vcl/screen.h"
#include "vcl/tree_view.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

namespace {

constexpr std::size_t kHeaderSize = 4096;
constexpr std::size_t kPieceSize = 16384;
constexpr std::size_t kPieceUnit = 4096;
constexpr std::size_t kTrailerZeros = 1024;
constexpr std::size_t kTrailerHeaderBytes = 3072;
constexpr std::uint64_t kLargestImage = 0xFFFFFFFFull; // the records carry 32-bit sizes
constexpr int kAbortReason = 4096;
constexpr int kMaxFolderDepth = 64;
// Text limits of the records, in bytes without the terminator.
constexpr std::size_t kMaxImageNameBytes = 63;
constexpr std::size_t kMaxFolderNameBytes = 111;
constexpr std::size_t kMaxConvertPasswordBytes = 15;
constexpr const char* kImageFolderName = "_IMAGE_";

// Column indexes of the image rows' sub-items.
constexpr int kSizeColumn = 0;
constexpr int kFolderColumn = 1;

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::string LastComponent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// True when the folder is where a file system is mounted (it sits on another device than its
// parent): the image share mounted by itself.
bool IsMountPoint(const std::string& path) {
    struct stat self {};
    struct stat parent {};
    if (::stat(path.c_str(), &self) != 0 || ::stat((path + "/..").c_str(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev;
}

// A mount table field with its octal escapes ("\\040" for a blank) undone.
std::string Unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::isdigit(static_cast<unsigned char>(field[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 3]))) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

void PutField(char* field, std::size_t width, const std::string& text) {
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), std::min(text.size(), width - 1));
}

// Reads exactly size bytes at offset; false on an error or a file that ended sooner.
bool ReadAt(int fd, void* buffer, std::size_t size, off_t offset) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, out + done, size - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// The header's flag word (little-endian u32 at byte 4) allows the conversion when neither bit 0
// nor bit 9 is set. Nothing when the header cannot be read.
std::optional<bool> HeaderAllowsConversion(int fd) {
    std::uint8_t word[4] = {};
    if (!ReadAt(fd, word, sizeof word, 4)) return std::nullopt;
    return (word[0] & 0x01) == 0 && (word[1] & 0x02) == 0;
}

} // namespace

std::string TFmWizard::ShareServerOf(const std::string& folder, const std::string& mountInfo) {
    // The mount that holds the folder is the one with the longest mount point above it.
    std::string best;
    std::string server;
    std::istringstream lines(mountInfo);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> parts;
        for (std::string part; fields >> part;)
            parts.push_back(part);
        const auto dash = std::find(parts.begin(), parts.end(), "-");
        if (parts.size() < 5 || dash == parts.end() || parts.end() - dash < 3) continue;
        const std::string mountPoint = Unescape(parts[4]);
        const bool above = folder == mountPoint || mountPoint == "/" ||
                           (folder.size() > mountPoint.size() &&
                            folder.compare(0, mountPoint.size(), mountPoint) == 0 &&
                            folder[mountPoint.size()] == '/');
        if (!above || mountPoint.size() < best.size()) continue;
        best = mountPoint;
        const std::string type = *(dash + 1);
        const std::string source = Unescape(*(dash + 2));
        server.clear();
        if ((type == "cifs" || type == "smb3" || type == "smbfs") && source.rfind("//", 0) == 0)
            server = source.substr(2, source.find('/', 2) - 2);
    }
    return server;
}

bool TFmWizard::ComboHasServers(vcl::TComboBox* combo) {
    for (int i = 0; i < combo->Items()->Count(); ++i)
        if (combo->Items()->Objects(i) != nullptr) return true;
    return false;
}

// ---- Page 17: the image folder

int TFmWizard::CdhFolderPage(int mode) {
    if (mode == 0) {
        Edit_CDHImgFolder->SetText("");
        return 0;
    }
    if (mode != 1) return 1;
    std::string folder = Edit_CDHImgFolder->GetText();
    if (folder.empty()) return 1;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        vcl::MessageBox(GetMessageText(904), GetMessageText(15), vcl::MB_OK | vcl::MB_ICONWARNING);
        return 1;
    }
    // A share of a NAS unit holds no CD-server images.
    std::ifstream table("/proc/self/mountinfo");
    const std::string mountInfo((std::istreambuf_iterator<char>(table)),
                                std::istreambuf_iterator<char>());
    std::error_code error;
    const std::string resolved = std::filesystem::canonical(folder, error).string();
    const std::string shareServer = ShareServerOf(error ? folder : resolved, mountInfo);
    if (!shareServer.empty() && host_) {
        for (vcl::TTreeNode* root : {host_->NasServersNode(), host_->RemoteServersNode()}) {
            for (int i = 0; root && i < root->Count(); ++i) {
                const auto unit = host_->UnitOf(root->Item(i)->GetData());
                if (unit && (SameIgnoringCase(unit->GetName(), shareServer) ||
                             unit->GetIpText() == shareServer)) {
                    vcl::MessageBox(GetMessageText(912), GetMessageText(15),
                                    vcl::MB_OK | vcl::MB_ICONWARNING);
                    return 1;
                }
            }
        }
    }
    // The CD server's image folder, or its share mounted by itself.
    if (!SameIgnoringCase(LastComponent(folder), kImageFolderName) &&
        (folder == "/" || !IsMountPoint(folder))) {
        vcl::MessageBox(GetMessageText(911), GetMessageText(15), vcl::MB_OK | vcl::MB_ICONWARNING);
        return 1;
    }
    return 0;
}

void TFmWizard::Btn_BrowseCDHImgFolderClick(vcl::TObject*) {
    std::string folder;
    if (vcl::SelectDirectory(GetMessageText(944), "", folder) && !folder.empty())
        Edit_CDHImgFolder->SetText(folder);
}

// ---- Page 16: the images

int TFmWizard::SelectCdhImagesPage(int mode) {
    if (mode == 0) {
        skippedImages_.clear();
        {
            // The listing lets events through: nothing else of the wizard runs meanwhile.
            const BusyScope busy(*this);
            vcl::THourGlass hourglass;
            ListView_CDHImgNotSel->Items()->Clear();
            ListView_CDHImgSel->Items()->Clear();
            LoadCdhImageList(Edit_CDHImgFolder->GetText(), ListView_CDHImgNotSel);
            ListView_CDHImgNotSel->AlphaSort();
        }
        if (!skippedImages_.empty()) {
            std::string text = GetMessageText(943);
            for (const std::string& line : skippedImages_)
                text += "\n" + line;
            vcl::MessageBox(text, GetMessageText(903), vcl::MB_OK | vcl::MB_ICONINFORMATION);
        }
        return 0;
    }
    if (mode != 1) return 1;
    if (ListView_CDHImgSel->Items()->Count() == 0) {
        bbNext->SetEnabled(false);
        ShowKindMessage(GetMessageText(907), 53);
        return 1;
    }
    return 0;
}

namespace {

struct ImageLister {
    TFmWizard& wizard;
    vcl::TListView* list;
    std::vector<std::string>& skipped;

    void Row(const std::string& folder, const std::string& name, std::uint64_t size) {
        vcl::TListItem* row = list->Items()->Add();
        row->SetCaption(name);
        row->SubItems()->Add(std::to_string(static_cast<std::uint32_t>(size)));
        row->SubItems()->Add(folder);
        const int wanted = static_cast<int>(name.size()) * list->Font()->GetSize() + 20;
        vcl::TListColumn* column = list->Columns()->Items(0);
        if (column->GetWidth() < wanted) column->SetWidth(wanted);
    }

    void File(const std::string& folder, const std::string& name) {
        const std::string path = folder + name;
        const FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (file.get() < 0 || ::fstat(file.get(), &st) != 0) {
            skipped.push_back(path + ": " + std::strerror(errno));
            return;
        }
        const auto size = static_cast<std::uint64_t>(st.st_size);
        if (size < kHeaderSize) {
            skipped.push_back(path + ": shorter than the 4096-byte image header");
            return;
        }
        if (size > kLargestImage) {
            skipped.push_back(path + ": larger than 4 GiB, more than the transfer can carry");
            return;
        }
        const std::optional<bool> allowed = HeaderAllowsConversion(file.get());
        if (!allowed) {
            skipped.push_back(path + ": the header cannot be read");
            return;
        }
        if (!*allowed) {
            skipped.push_back(path + ": marked by the CD server as not convertible");
            return;
        }
        Row(folder, name, size);
    }

    void Folder(const std::string& folder, int depth) {
        if (depth > kMaxFolderDepth) {
            skipped.push_back(folder + ": folders nested too deep, not searched");
            return;
        }
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
        if (!dir) {
            skipped.push_back(folder + ": " + std::strerror(errno));
            return;
        }
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir.get())) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        dir.reset();
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            vcl::Application->ProcessMessages();
            const std::string path = folder + name;
            struct stat link {};
            if (::lstat(path.c_str(), &link) != 0) {
                skipped.push_back(path + ": " + std::strerror(errno));
                continue;
            }
            struct stat target = link;
            if (S_ISLNK(link.st_mode) && ::stat(path.c_str(), &target) != 0) {
                skipped.push_back(path + ": a link whose target cannot be reached");
                continue;
            }
            if (S_ISDIR(target.st_mode)) {
                if (S_ISLNK(link.st_mode))
                    skipped.push_back(path + ": a link to a folder, not followed");
                else
                    Folder(path + "/", depth + 1);
            } else if (S_ISREG(target.st_mode)) {
                File(folder, name);
            } else {
                skipped.push_back(path + ": not a regular file");
            }
        }
    }
};

} // namespace

int TFmWizard::LoadCdhImageList(const std::string& folder, vcl::TListView* list) {
    std::string base = folder;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (base != "/") base += '/';
    ImageLister lister{*this, list, skippedImages_};
    list->Items()->BeginUpdate();
    lister.Folder(base, 0);
    list->Items()->EndUpdate();
    return 0;
}

void TFmWizard::BBtn_AddCDHImgClick(vcl::TObject*) {
    ListView_CDHImgNotSel->Items()->BeginUpdate();
    ListView_CDHImgSel->Items()->BeginUpdate();
    for (int i = 0; i < ListView_CDHImgNotSel->Items()->Count();) {
        vcl::TListItem* row = ListView_CDHImgNotSel->Items()->Item(i);
        if (!row->GetSelected()) {
            ++i;
            continue;
        }
        vcl::TListItem* moved = ListView_CDHImgSel->Items()->Add();
        moved->SetCaption(row->GetCaption());
        for (int k = 0; k < row->SubItems()->Count(); ++k)
            moved->SubItems()->Add(row->SubItems()->Strings(k));
        const int wanted =
            static_cast<int>(row->GetCaption().size()) * ListView_CDHImgSel->Font()->GetSize() + 20;
        vcl::TListColumn* column = ListView_CDHImgSel->Columns()->Items(0);
        if (column->GetWidth() < wanted) column->SetWidth(wanted);
        ListView_CDHImgNotSel->Items()->Delete(i);
        ListView_CDHImgSel->AlphaSort();
    }
    ListView_CDHImgSel->Items()->EndUpdate();
    ListView_CDHImgNotSel->Items()->EndUpdate();
    if (ListView_CDHImgSel->Items()->Count() > 0) bbNext->SetEnabled(true);
}

void TFmWizard::BBtn_DelCDHImgClick(vcl::TObject*) {
    ListView_CDHImgNotSel->Items()->BeginUpdate();
    ListView_CDHImgSel->Items()->BeginUpdate();
    for (int i = 0; i < ListView_CDHImgSel->Items()->Count();) {
        vcl::TListItem* row = ListView_CDHImgSel->Items()->Item(i);
        if (!row->GetSelected()) {
            ++i;
            continue;
        }
        vcl::TListItem* moved = ListView_CDHImgNotSel->Items()->Add();
        moved->SetCaption(row->GetCaption());
        for (int k = 0; k < row->SubItems()->Count(); ++k)
            moved->SubItems()->Add(row->SubItems()->Strings(k));
        ListView_CDHImgSel->Items()->Delete(i);
    }
    ListView_CDHImgSel->Items()->EndUpdate();
    ListView_CDHImgNotSel->Items()->EndUpdate();
    if (ListView_CDHImgSel->Items()->Count() == 0) bbNext->SetEnabled(false);
}

// ---- Page 18: the target

int TFmWizard::ConvertTargetPage(int mode) {
    if (mode == 0) {
        FillServerCombo(ComboBox_ToNasServer);
        ComboBox_CDHImgToNasServerChange(nullptr);
        bbOk->SetCaption(GetMessageText(908));
        return 0;
    }
    if (mode != 1) return 1;
    // No unit to take the images, or the unit chosen has gone since the list was filled (the
    // list then keeps no choice): the user is told, the page stays.
    if (!ComboHasServers(ComboBox_ToNasServer) || ComboServer(ComboBox_ToNasServer) == nullptr) {
        ErrorBox(GetMessageText(437));
        return 1;
    }
    return 0;
}

void TFmWizard::ComboBox_CDHImgToNasServerChange(vcl::TObject*) {
    const int chosen = ComboBox_ToNasServer->GetItemIndex();
    const auto server = ComboServer(ComboBox_ToNasServer);
    if (server == nullptr) {
        if (chosen >= 0) ComboBox_ToNasServer->SetHint(ComboBox_ToNasServer->GetText());
        FillImageFolderCombo(ComboBox_ImageFolder, nullptr, false, false);
        return;
    }
    FillImageFolderCombo(ComboBox_ImageFolder, server.get(), false, true);
}

// ---- The conversion

namespace {

// The progress page stays up, modal, while one image is sent: the wizard under it takes no
// input, and its Cancel is the one control the user can reach. Closed on every way out.
class ProgressPage {
public:
    ProgressPage(const std::string& path) {
        if (!FmMsg) FmMsg = vcl::MakeForm<TFmMsg>(vcl::Application);
        // A page already up (another message) is reused as it is, not made modal under it.
        if (!FmMsg->Modal() && !FmMsg->GetVisible()) {
            FmMsg->BeginModal();
            modal_ = true;
        }
        FmMsg->ShowMessagePage(path, GetMessageText(974), 140, 411, TFmMsg::IconWait, true, true,
                               false, false);
    }
    ~ProgressPage() {
        if (!FmMsg) return;
        if (modal_) FmMsg->EndModal();
        FmMsg->Close();
    }
    ProgressPage(const ProgressPage&) = delete;
    ProgressPage& operator=(const ProgressPage&) = delete;

private:
    bool modal_ = false;
};

} // namespace

int TFmWizard::UploadImageFile(CNasServer& server, const std::string& path, std::uint64_t size,
                               std::string* why) {
    std::vector<std::uint8_t> buffer(kPieceSize);
    const ProgressPage page(path);
    const FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    const int openError = file.get() < 0 ? errno : 0;
    const std::uint64_t toSend = size > kHeaderSize ? size - kHeaderSize : 0;
    const std::uint64_t percent = std::max<std::uint64_t>(size / 100, 1);
    std::uint64_t done = 0;
    bool cancelled = false;
    bool readFailed = file.get() < 0;
    auto sendFailed = [&](int result) {
        const std::string text = NasResultText(&server, result);
        if (why) *why = FormatMessageText(GetMessageText(949), {text});
        vcl::MessageBox(text, GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
        // A session that failed is aborted, never left to be completed.
        server.ImageTransferAbort(kAbortReason);
        return -1;
    };
    auto readStopped = [&](int error) {
        if (why)
            *why = cancelled
                       ? std::string(GetMessageText(950))
                       : FormatMessageText(GetMessageText(951),
                                           {error ? std::strerror(error) : GetMessageText(952)});
        vcl::MessageBox(GetMessageText(910), GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
        server.ImageTransferAbort(kAbortReason);
        return cancelled ? kUploadCancelled : -1;
    };
    int readError = openError;
    while (!readFailed && done < toSend) {
        vcl::Application->ProcessMessages();
        std::fill(buffer.begin(), buffer.end(), 0);
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(toSend - done, kPieceSize));
        errno = 0;
        if (!ReadAt(file.get(), buffer.data(), piece, static_cast<off_t>(kHeaderSize + done))) {
            readError = errno;
            readFailed = true;
            break;
        }
        done += piece;
        const std::size_t length =
            piece == kPieceSize ? kPieceSize : (piece + kPieceUnit - 1) / kPieceUnit * kPieceUnit;
        const std::string progress =
            std::string(GetMessageText(905)) + " " + std::to_string(done) + " (bytes)";
        if (FmMsg->IsCancelled() ||
            !FmMsg->UpdateProgress(
                progress, static_cast<int>(std::min<std::uint64_t>(done / percent, 100)))) {
            cancelled = true;
            break;
        }
        const int result = server.SendImageData(buffer.data(), static_cast<int>(length));
        if (result != 0) return sendFailed(result);
    }
    if (cancelled || readFailed || done != toSend) return readStopped(readError);
    // The trailer: 1024 zero bytes, then the first 3072 bytes of the header.
    std::fill(buffer.begin(), buffer.end(), 0);
    int result = server.SendImageData(buffer.data(), static_cast<int>(kTrailerZeros));
    if (result != 0) return sendFailed(result);
    errno = 0;
    if (!ReadAt(file.get(), buffer.data(), kTrailerHeaderBytes, 0)) return readStopped(errno);
    result = server.SendImageData(buffer.data(), static_cast<int>(kTrailerHeaderBytes));
    if (result != 0) return sendFailed(result);
    FmMsg->ProgressBar1->SetPosition(100);
    return 0;
}

namespace {

struct ChosenImage {
    std::string name;
    std::string path;
    std::uint64_t size = 0;
    std::string sentName; // the name in the unit's encoding, as the transfer carries it
    std::string result;   // what became of it, for the report
};

// The transfer's records carry no encoding kind, so the file names are put in the unit's
// encoding here: UTF-8 for kinds 1 and 2, the code page of the message language (the library's
// too) for kind 0. None when the code page lacks a character of the name.
// One line per chosen image with its result, for the box that ends a conversion that did not
// send every image.
std::string BatchReport(const std::vector<ChosenImage>& images) {
    std::string text;
    for (const ChosenImage& image : images)
        text += image.name + ": " + image.result + "\n";
    return text;
}

} // namespace

int TFmWizard::FinishCdhConvert() {
    if (busy_) return -1;
    // The upload lets events through: the wizard takes no input until it has ended.
    const BusyScope busy(*this);
    // The unit is worked on through a copy: the main window's object may be retired by a
    // refresh while the password is asked or the images are sent.
    const auto server = ComboServer(ComboBox_ToNasServer);
    const std::string mac = server ? MacOf(*server) : std::string();
    if (server == nullptr) {
        ErrorBox(GetMessageText(437));
        return -1;
    }
    const int folderIndex = ComboBox_ImageFolder->GetItemIndex();
    const auto folderObject = reinterpret_cast<std::intptr_t>(
        folderIndex >= 0 ? ComboBox_ImageFolder->Items()->Objects(folderIndex) : nullptr);
    // The folder goes back to the unit as the unit listed it, byte for byte; the combo shows its
    // text converted for the screen.
    std::string folder;
    if (folderIndex >= 0 && folderObject >= 0 && folderObject < server->ImgFolderCount &&
        folderObject < CNasServer::kImgFolderMax) {
        const int index = static_cast<int>(folderObject);
        const char* listed = server->ImgFolders[index] + 8;
        // Only while the unit's list still holds the folder the combo shows at that place.
        if (server->GetImgFolderName(index) == ComboBox_ImageFolder->GetText())
            folder.assign(listed, strnlen(listed, CNasServer::kImgFolderSize - 8));
    }
    if (folderIndex < 0 || folderObject == 255 || folder.empty()) {
        ErrorBox(GetMessageText(236));
        return -1;
    }
    if (folder.size() > kMaxFolderNameBytes) {
        ErrorBox(folder + ": " + GetMessageText(228));
        return -1;
    }

    // Every chosen image is checked before anything is sent.
    std::vector<ChosenImage> images;
    for (int i = 0; i < ListView_CDHImgSel->Items()->Count(); ++i) {
        vcl::TListItem* row = ListView_CDHImgSel->Items()->Item(i);
        ChosenImage image;
        image.name = row->GetCaption();
        image.path = row->SubItems()->Strings(kFolderColumn) + image.name;
        struct stat st {};
        if (::stat(image.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            ErrorBox(image.path + ": " + std::strerror(errno));
            return -1;
        }
        image.size = static_cast<std::uint64_t>(st.st_size);
        if (image.size < kHeaderSize || image.size > kLargestImage) {
            ErrorBox(FormatMessageText(GetMessageText(945), {image.path}));
            return -1;
        }
        std::optional<std::string> sentName = ToUnitText(image.name, server->GetTextEncoding());
        if (!sentName) {
            ErrorBox(FormatMessageText(GetMessageText(946), {image.name}));
            return -1;
        }
        if (sentName->size() > kMaxImageNameBytes) {
            ErrorBox(image.name + ": " + GetMessageText(228));
            return -1;
        }
        image.sentName = std::move(*sentName);
        image.result = GetMessageText(947);
        images.push_back(std::move(image));
    }
    if (images.empty()) {
        ShowKindMessage(GetMessageText(907), 53);
        return -1;
    }

    CNasServer target;
    target.Assign(*server);
    if (!target.Authenticate(kAuthConvertFolder)) return -1;
    const std::string user(target.UserName, strnlen(target.UserName, sizeof target.UserName));
    const std::string password(target.Password, strnlen(target.Password, sizeof target.Password));
    // The conversion request holds 15 bytes of password: a longer one could never convert.
    if (password.size() > kMaxConvertPasswordBytes) {
        ShowKindMessage(GetMessageText(129), 31);
        return -1;
    }

    auto request = std::make_unique<NasImgRequest>();
    // One transfer carries the images in list order. The first image that fails (a refusal, a
    // file that cannot be read, Cancel) ends it: its session is aborted and the images after it
    // are not sent. The report names each image with what became of it.
    std::memset(request.get(), 0, sizeof *request);
    PutField(request->transfer.userName, sizeof request->transfer.userName, user);
    PutField(request->transfer.password, sizeof request->transfer.password, password);
    PutField(request->transfer.folderName, sizeof request->transfer.folderName, folder);
    PutField(request->transfer.imageFileName, sizeof request->transfer.imageFileName,
             images[0].sentName);
    request->transfer.imageNumber = 1;
    request->transfer.imageSize = static_cast<std::uint32_t>(images[0].size);
    request->transfer.imageCount = static_cast<std::uint32_t>(images.size());
    if (target.ImageTransferStart(request.get()) != 0) {
        vcl::MessageBox(target.GetLastResultText(), GetMessageText(9),
                        vcl::MB_OK | vcl::MB_ICONSTOP);
        // The next attempt asks again.
        if (const auto again = ResolveTarget(mac)) again->ClearCredentials();
        return -1; // nothing was sent: the box said it all
    }
    std::size_t sentCount = 0;
    bool failed = false;
    for (std::size_t i = 0; i < images.size(); ++i) {
        std::string why;
        if (UploadImageFile(target, images[i].path, images[i].size, &why) != 0) {
            images[i].result = why; // the box before said it too
            failed = true;
            break;
        }
        // The next image's name and size, or all zeros after the last one.
        NasImgDone done{};
        std::memset(&done, 0, sizeof done);
        if (i + 1 < images.size()) {
            PutField(done.nextFileName, sizeof done.nextFileName, images[i + 1].sentName);
            done.moreImages = 1;
            done.nextFileSize = static_cast<std::uint32_t>(images[i + 1].size);
        }
        const int result = target.ImageTransferComplete(&done);
        if (result != 0) {
            const std::string text = NasResultText(&target, result);
            images[i].result = FormatMessageText(GetMessageText(949), {text});
            vcl::MessageBox(text, GetMessageText(9), vcl::MB_OK | vcl::MB_ICONSTOP);
            target.ImageTransferAbort(kAbortReason);
            failed = true;
            break;
        }
        images[i].result = GetMessageText(948);
        ++sentCount;
    }
    target.CloseDataSocket();
    // The images after a failed one keep "not sent".

    // The images that arrived are converted; the report names every image with what became of
    // it, so that none is lost without a word.
    int converted = -1;
    if (sentCount > 0) {
        std::memset(request.get(), 0, sizeof *request);
        PutField(request->conversion.userName, sizeof request->conversion.userName, user);
        PutField(request->conversion.password, sizeof request->conversion.password, password);
        PutField(request->conversion.folderName, sizeof request->conversion.folderName, folder);
        converted = target.ConvertImageFolder(request.get());
        if (converted != 0)
            vcl::MessageBox(target.GetLastResultText(),
                            std::string(GetMessageText(903)) + " " + GetMessageText(9),
                            vcl::MB_OK | vcl::MB_ICONSTOP);
    }
    if (failed)
        vcl::MessageBox(BatchReport(images), GetMessageText(903), vcl::MB_OK | vcl::MB_ICONSTOP);
    return failed || converted != 0 ? -1 : 0;
}
