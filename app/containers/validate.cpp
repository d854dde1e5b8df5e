#include "validate.h"

#include "clock/clock.h"
#include "container_names.h"
#include "message_format.h"
#include "msgbox.h"
#include "validate_format.h"

#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

using Record = _CDH_CIS_RECORD_;

constexpr std::size_t kPathLineCharacters = 53;
constexpr std::size_t kPathCharacters = 290;
constexpr char kDateFormat[] = "yyyy/mm/dd AM/PM hh:nn:ss";
const std::string kLogIndent(27, ' ');
const std::string kDetailIndent(5, ' ');

// The path cut to kPathCharacters characters, with a line feed after every kPathLineCharacters
// characters that more characters follow.
std::string WrapPath(std::string_view path) {
    std::string out;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < path.size() && characters < kPathCharacters;) {
        std::size_t length = 1;
        while (i + length < path.size() &&
               (static_cast<unsigned char>(path[i + length]) & 0xC0) == 0x80)
            ++length;
        if (characters > 0 && characters % kPathLineCharacters == 0) out += '\n';
        out.append(path.substr(i, length));
        ++characters;
        i += length;
    }
    return out;
}

std::string SizeText(bool folder, std::uint64_t size) {
    return folder ? GetMessageText(411) : FormatFileSize(size, 1);
}

// The children of a folder as they stand now, at most its counted number.
std::vector<Record*> ChildrenOf(const MIRROR_CONTAINER& container, const Record* folder) {
    std::vector<Record*> children;
    const std::uint64_t count =
        std::uint64_t{container.GetSubfolderCount(folder)} + container.GetFileCount(folder);
    for (Record* c = container.GetFirstChild(folder); c != nullptr && children.size() < count;
         c = container.GetNextSibling(c))
        children.push_back(c);
    return children;
}

} // namespace

std::string DescribeSource(const std::string& path, bool folder, std::uint64_t size,
                           CisFileTime time, std::uint32_t attributes) {
    return std::string(GetMessageText(407)) + WrapPath(path) + "\n" + GetMessageText(408) +
           SizeText(folder, size) + "\n" + GetMessageText(409) + FormatFileDate(time, kDateFormat) +
           "\n" + GetMessageText(410) + FormatFileAttributes(attributes);
}

ContainerValidation::ContainerValidation(MIRROR_CONTAINER& container,
                                         const VALIDATE_OPTIONS& settings,
                                         ValidateQuestions& questions,
                                         std::function<void()> refreshContainerTree)
    : container_(container), settings_(settings), questions_(questions),
      refreshContainerTree_(std::move(refreshContainerTree)) {}

ContainerValidation::~ContainerValidation() = default;

void ContainerValidation::Log(const std::string& text) {
    if (log_) std::fwrite(text.data(), 1, text.size(), log_.get());
}

void ContainerValidation::LogLine(const std::string& text) {
    Log("\n" + kLogIndent + text);
}

void ContainerValidation::LogTimeStamp() {
    Log("\n{" + ValidateTimeText(platform::Now()) + "} ");
}

void ContainerValidation::ValidateContainer() {
    choice_ = validate_choice::None;
    sticky_ = validate_sticky::Ask;
    checked_ = unchanged_ = updated_ = skipped_ = 0;
    Record* root = container_.GetRoot();
    if (root == nullptr) return;

    log_.reset();
    if (settings_.ValidateLogEnable == 1 && !settings_.ValidateLog.empty())
        log_.reset(std::fopen(settings_.ValidateLog.c_str(),
                              settings_.OverWriteValidateLog == 1 ? "w" : "a"));
    Log(std::string("\n==============================") + GetMessageText(395));
    Log(FormatMessageText(GetMessageText(396), {container_.GetSourcePath(root)}));
    LogTimeStamp();
    Log(GetMessageText(397));

    // Each entry is taken before the one before it is checked: an update may remove that one.
    ValidateEntries(ChildrenOf(container_, root));
    if (sticky_ == validate_sticky::Cancelled) {
        LogTimeStamp();
        Log(GetMessageText(398));
    }

    choice_ = validate_choice::None;
    sticky_ = validate_sticky::Ask;
    if (refreshContainerTree_) refreshContainerTree_();

    root = container_.GetRoot();
    const std::uint64_t total = std::uint64_t{root->totalFolders} + root->totalFiles;
    LogTimeStamp();
    Log(GetMessageText(405));
    LogLine(GetMessageText(399) + std::to_string(total) + GetMessageText(400));
    LogLine(GetMessageText(401) + std::to_string(checked_));
    LogLine(GetMessageText(402) + std::to_string(unchanged_));
    LogLine(GetMessageText(403) + std::to_string(updated_));
    LogLine(GetMessageText(404) + std::to_string(skipped_));
    Log(std::string("\n============================") + GetMessageText(406));
    log_.reset();
}

int ContainerValidation::Answer(const std::string& originalSource, const std::string& newSource) {
    switch (sticky_) {
    case validate_sticky::Ask: {
        const int choice = questions_.AskChange(originalSource, newSource);
        choice_ = choice;
        switch (choice) {
        case validate_choice::Update:
        case validate_choice::Skip:
            return choice;
        case validate_choice::UpdateAll:
            sticky_ = validate_sticky::UpdateAll;
            return choice;
        case validate_choice::SkipAll:
            sticky_ = validate_sticky::SkipAll;
            return choice;
        default:
            sticky_ = validate_sticky::Cancelled;
            return validate_choice::Cancel;
        }
    }
    case validate_sticky::UpdateAll:
        return validate_choice::UpdateAll;
    case validate_sticky::SkipAll:
        return validate_choice::SkipAll;
    default:
        sticky_ = validate_sticky::Cancelled;
        return validate_choice::Cancel;
    }
}

bool ContainerValidation::LogNameFault(const Record* entry, const std::string& entryPath,
                                       bool duplicate) {
    const char* fault = nullptr;
    switch (CisImageNameCheck(entry->name, entry->IsFolder())) {
    case CisImageNameFault::TooLong:
        fault = "The name is longer than an image's directory record holds (221 bytes for a "
                "folder, 219 for a file).";
        break;
    case CisImageNameFault::FolderVersion:
        fault = "A folder name with ';' comes back from an image without what follows the ';', "
                "which readers take as a version number.";
        break;
    case CisImageNameFault::None:
        if (duplicate) fault = "Another entry of the same folder has the same name.";
        break;
    }
    if (fault == nullptr) return false;
    LogTimeStamp();
    Log(GetMessageText(413));
    LogLine(kDetailIndent + entryPath);
    LogLine(kDetailIndent + fault);
    LogLine(GetMessageText(417));
    LogLine(GetMessageText(419));
    return true;
}

void ContainerValidation::ValidateItem(Record* entry, bool duplicate) {
    questions_.ProcessMessages();
    choice_ = validate_choice::None;
    if (entry == nullptr || sticky_ == validate_sticky::Cancelled) return;
    const std::string entryPath = container_.GetEntryPath(entry);
    questions_.ShowEntry(entryPath);

    MIRROR_CONTAINER::FileInfo info;
    const std::uint32_t flags = container_.CheckEntrySource(info, entry);
    ++checked_;
    bool removed = false;
    // A name no image can hold is reported however its source stands; the entry is not "Ok".
    const bool nameFault = LogNameFault(entry, entryPath, duplicate);
    if (flags == 0) {
        ++(nameFault ? skipped_ : unchanged_);
    } else {
        const bool folder = entry->IsFolder();
        const bool missing = (flags & kCisSourceMissing) != 0;
        const bool newFolder = (info.attributes & kCisAttrFolder) != 0;
        const std::string original =
            DescribeSource(entry->source, folder, entry->size, entry->time, entry->attributes);
        const std::string found = missing ? std::string(GetMessageText(412))
                                          : DescribeSource(info.fullPath, newFolder, info.size,
                                                           info.time, info.attributes);
        const int answer = Answer(original, found);

        LogTimeStamp();
        Log(GetMessageText(413));
        LogLine(kDetailIndent + entryPath);
        LogLine(GetMessageText(414));
        LogLine(kDetailIndent + entry->source);
        LogLine(kDetailIndent + SizeText(folder, entry->size));
        LogLine(kDetailIndent + FormatFileDate(entry->time, kDateFormat));
        LogLine(kDetailIndent + FormatFileAttributes(entry->attributes));
        LogLine(GetMessageText(415));
        if (missing) {
            LogLine(GetMessageText(416));
        } else {
            LogLine(kDetailIndent + info.fullPath);
            LogLine(kDetailIndent + SizeText(newFolder, info.size));
            LogLine(kDetailIndent + FormatFileDate(info.time, kDateFormat));
            LogLine(kDetailIndent + FormatFileAttributes(info.attributes));
        }
        LogLine(GetMessageText(417));

        switch (answer) {
        case validate_choice::Update:
        case validate_choice::UpdateAll:
            LogLine(GetMessageText(418));
            if (container_.ApplySourceChanges(info, entry, flags)) removed = missing;
            ++updated_;
            break;
        case validate_choice::Skip:
        case validate_choice::SkipAll:
            LogLine(GetMessageText(419));
            ++skipped_;
            break;
        default:
            LogLine(GetMessageText(420));
            break;
        }
    }
    questions_.ProcessMessages();
    if (sticky_ == validate_sticky::Cancelled) return;
    if (!removed && entry->IsFolder()) ValidateChildren(entry);
}

void ContainerValidation::ValidateChildren(Record* folder) {
    ValidateEntries(ChildrenOf(container_, folder));
}

void ContainerValidation::ValidateEntries(const std::vector<Record*>& entries) {
    // Found before any entry is checked (an update may remove one), in one pass over the names.
    std::vector<bool> duplicate(entries.size(), false);
    std::unordered_set<std::string> seen;
    for (std::size_t i = 0; i < entries.size(); ++i)
        duplicate[i] = !seen.insert(entries[i]->name).second;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ValidateItem(entries[i], duplicate[i]);
        if (sticky_ == validate_sticky::Cancelled) return;
    }
}
