#include "ProgramLocation.h"

#include "Texts.h"

DataLocation LocateData(const std::string& programPath, const std::string& dataDirOption) {
    return DecideDataLocation(GatherLocationFacts(programPath, dataDirOption, ZAVO_INSTALL_BINDIR));
}

void ApplyDataLocation(const DataLocation& location, TransferSession& session) {
    session.SetProgramDir(location.DataDir);
    session.StartLog();
    if (location.Kind != LocationKind::Portable)
        session.HttpClient1.Header = location.DataDir + Texts::kHeaderFile;
}
