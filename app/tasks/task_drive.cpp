#include "task_drive.h"

#include "scsicdd.h"

bool DriveReader::Acquire(TScsiCdd& drive, bool lockDoor, bool eject) {
    Release();
    if (!drive.AddReader(lockDoor)) return false;
    drive_ = &drive;
    lockDoor_ = lockDoor;
    eject_ = eject;
    return true;
}

void DriveReader::Release() {
    if (drive_ == nullptr) return;
    drive_->RemoveReader(lockDoor_, eject_);
    drive_ = nullptr;
}
