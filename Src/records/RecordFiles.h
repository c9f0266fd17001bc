// The game records' files: "data\\score.dat", "data\\cache.dat" and
// "data\\textread.dat". Readers return 0 when the file was read and 1 when it
// is missing or damaged (the record then keeps its defaults).
#pragma once

class GameInfo;

// Fills the all-plays read-text set from "data\\textread.dat".
int readTextReadFile(GameInfo& records);
// Resets the score tables and reads "data\\score.dat" and "data\\cache.dat";
// returns the score file's result.
int loadRecordFiles(GameInfo& records);
// Writes the record files back at shut-down.
void saveRecordFiles(GameInfo& records);
