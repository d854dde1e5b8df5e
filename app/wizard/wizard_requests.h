// What the wizard hands a task of each destination: the mirror request record (the library's
// NasMirrorInfo) and the recording settings, filled from a job entry and its unit.
#pragma once

#include "wizard_jobs.h"

#include "nasapi.h"

#include <cstdint>
#include <string>

class CNasServer;

// The label a task carries as the drive description: the source disc's label; the record job
// gives an unlabelled disc "NO_TITLE".
std::string DriveDescription(int job, const std::string& discLabel);

// The mirror request of one destination: method (manual stored as force, 0x10 with auto share),
// the unit's image folder at the entry's index as the unit stores it, the entry's label and share
// name, the unit's stored credentials and the drive description. The texts are put in the unit's
// encoding and then cut to their fields at a character boundary of that encoding.
NasMirrorInfo MakeMirrorRequest(const WizardJobEntry& entry, const CNasServer& target,
                                bool autoShare, const std::string& driveDescription);

struct RecordSettings {
    std::uint8_t flags = 0; // bit 0 record, bit 1 erase first, bit 2 scheduled, bit 4 delete after
    std::uint16_t writer = 0;
    std::uint8_t speed = 0;
};
// The recording settings of a destination: its writer, speed and its own erase and delete
// choices, as its row showed them; nothing is recorded, erased or deleted without its option.
RecordSettings MakeRecordSettings(const WizardJobEntry& entry, bool scheduledBit);
