// Container validation: every entry of a container is checked against its host source; a changed
// entry is shown with its original and its new source, and the user updates it from the source,
// skips it, does either for all that follow, or cancels. The walk and its report in the validate
// log are here; the questions go to the validation dialog through ValidateQuestions.
#pragma once

#include "container.h"
#include "validate_settings.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Answers of a question (the button pressed).
namespace validate_choice {
inline constexpr int None = 0;
inline constexpr int Update = 1;
inline constexpr int UpdateAll = 2;
inline constexpr int Skip = 3;
inline constexpr int SkipAll = 4;
inline constexpr int Cancel = 5;
} // namespace validate_choice

// What to do without asking.
namespace validate_sticky {
inline constexpr int Ask = 0;
inline constexpr int UpdateAll = 1;
inline constexpr int SkipAll = 2;
inline constexpr int Cancelled = 3;
} // namespace validate_sticky

// The validation dialog as the engine sees it.
class ValidateQuestions {
public:
    virtual ~ValidateQuestions() = default;
    // The entry being checked (its path in the container); no question is shown.
    virtual void ShowEntry(const std::string& entryPath) = 0;
    // Shows both sources (four lines each, or the not-found text for the new one) and waits for
    // a button: a validate_choice. Anything else, a dialog closed without a button included,
    // counts as Cancel.
    virtual int AskChange(const std::string& originalSource, const std::string& newSource) = 0;
    // Lets pending window messages run.
    virtual void ProcessMessages() = 0;
};

class ContainerValidation {
public:
    using Record = _CDH_CIS_RECORD_;

    // refreshContainerTree rebuilds the container's tree view after the walk.
    ContainerValidation(MIRROR_CONTAINER& container, const VALIDATE_OPTIONS& settings,
                        ValidateQuestions& questions, std::function<void()> refreshContainerTree);
    ~ContainerValidation();
    ContainerValidation(const ContainerValidation&) = delete;
    ContainerValidation& operator=(const ContainerValidation&) = delete;

    // Walks the whole container and writes its report to the log when the settings ask for one.
    void ValidateContainer();
    // Checks one entry and, unless it was removed, everything below it. An entry whose name the
    // image cannot hold (too long, a folder name with ';', or the name of an earlier sibling:
    // duplicate) is logged with the reason and counted as skipped, never as unchanged.
    void ValidateItem(Record* entry, bool duplicate = false);

    std::uint32_t Checked() const { return checked_; }
    std::uint32_t Unchanged() const { return unchanged_; }
    std::uint32_t Updated() const { return updated_; }
    std::uint32_t Skipped() const { return skipped_; }
    int Sticky() const { return sticky_; }

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    void Log(const std::string& text);
    void LogLine(const std::string& text); // on a new line after 27 blanks
    void LogTimeStamp();
    int Answer(const std::string& originalSource, const std::string& newSource);
    // Validates each child of folder (its ring as it stands when each one is reached).
    void ValidateChildren(Record* folder);
    // Validates the entries, each told whether an earlier one of them has its name.
    void ValidateEntries(const std::vector<Record*>& entries);
    // Logs why the entry's name cannot go into an image; false when it can.
    bool LogNameFault(const Record* entry, const std::string& entryPath, bool duplicate);

    MIRROR_CONTAINER& container_;
    const VALIDATE_OPTIONS& settings_;
    ValidateQuestions& questions_;
    std::function<void()> refreshContainerTree_;
    int choice_ = validate_choice::None;
    int sticky_ = validate_sticky::Ask;
    std::uint32_t checked_ = 0;
    std::uint32_t unchanged_ = 0;
    std::uint32_t updated_ = 0;
    std::uint32_t skipped_ = 0;
    std::unique_ptr<std::FILE, FileCloser> log_;
};

// The lines that describe a source in the dialog: path (wrapped every 53 characters, at most
// 290), size, last-write time and attributes, one a line.
std::string DescribeSource(const std::string& path, bool folder, std::uint64_t size,
                           CisFileTime time, std::uint32_t attributes);
