#include "records/RecordFiles.h"

#include "records/CacheFile.h"
#include "records/GameInfo.h"
#include "records/MachineId.h"
#include "records/ScoreFile.h"
#include "records/TextReadFile.h"

int readTextReadFile(GameInfo& records) { return readTextReadFile(records.getReadTextSet()); }

int loadRecordFiles(GameInfo& records) {
    records.localScoreTables().resetForLoad();
    records.onlineTables().resetAll();
    ScoreFileFields fields{records.localScoreTables(),
                           records.machineIdWords(),
                           records.playerNameWords(),
                           records.reachStageWords(),
                           records.endingWords(),
                           {&records.savedGameFlags(0), &records.savedGameFlags(2), &records.savedGameFlags(3)}};
    int result = readScoreFile(fields);
    readCacheFile(records.onlineTables());
    return result;
}

void saveRecordFiles(GameInfo& records) {
    records.writeScoreFile();
    writeCacheFile(records.onlineTables());
    writeTextReadFile(records.getReadTextSet());
    writeMachineIdWords(records.machineIdWords());
}
