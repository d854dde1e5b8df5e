// A task's hold on its source drive: one of at most eight readers, with the door locked while
// the task reads when the task asks for it, and the disc ejected at the end when the task asks
// for it and no other task reads the drive. The counts live under the drive's own lock.
#pragma once

class TScsiCdd;

class DriveReader {
public:
    DriveReader() = default;
    ~DriveReader() { Release(); }
    DriveReader(const DriveReader&) = delete;
    DriveReader& operator=(const DriveReader&) = delete;

    // False when the drive already has eight readers (error 39).
    bool Acquire(TScsiCdd& drive, bool lockDoor, bool eject);
    void Release();

private:
    TScsiCdd* drive_ = nullptr;
    bool lockDoor_ = false;
    bool eject_ = false;
};
