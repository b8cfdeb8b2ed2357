// The trial's answers to the volume test bed's stand-ins, which ask the file
// system outside Wine on their pipe (outside_file_system.h): an NTFS image
// of a size, a mount of the formatted volume, an unmount before a lock.
#pragma once

#include "drive_export.h"
#include "script_link.h"

// Tells the script "ready" once the pipe exists, then answers one request
// at a time, for ever; returns only when the pipe cannot be made.
void AnswerStandIns(ScriptLink* script, DriveExport* drive);
