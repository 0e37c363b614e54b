// Where this program keeps its files, for the window and the command line alike.
#pragma once

#include <string>

#include "DataLocation.h"
#include "TransferSession.h"

// The decision for the program file at programPath (see DataLocation.h), with --data-dir.
DataLocation LocateData(const std::string& programPath, const std::string& dataDirOption);

// Points the session at the location: its program directory (where the transfer log goes
// too), and for an installed or chosen
// location the header file of the recorder's last answer, which then lies in the data folder
// rather than in whatever folder the program was started from.
void ApplyDataLocation(const DataLocation& location, TransferSession& session);
