// Serves a SectorDisk to one NBD client over a connected socket: the fixed
// newstyle handshake (one unnamed export), then read, write, flush and
// disconnect with simple replies, one request at a time.
#pragma once

#include <winsock2.h>

#include "sector_disk.h"

// 1 when the client disconnected, -1 when the connection broke or the client
// did not speak NBD.
int ServeNbdClient(SOCKET connection, SectorDisk* disk);
