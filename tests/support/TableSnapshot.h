#pragma once

#include <QString>

class Database;

// Every row of every table as one text, so a test can show that a refused
// operation wrote nothing anywhere.
QString tableSnapshot(Database* db);
