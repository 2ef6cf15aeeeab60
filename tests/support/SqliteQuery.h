#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

// Runs `sql` on a database file and answers its rows, columns joined by '|', NULL as "NULL".
// An error comes back as the one row "error: <message>".
inline std::vector<std::string> Query(const std::string& dbFile, const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbFile.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        rows.push_back(std::string("error: ") + sqlite3_errmsg(db));
        sqlite3_close(db);
        return rows;
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        rows.push_back(std::string("error: ") + sqlite3_errmsg(db));
    } else {
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                if (i)
                    row += '|';
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
                row += text ? text : "NULL";
            }
            rows.push_back(row);
        }
        if (rc != SQLITE_DONE)
            rows.push_back(std::string("error: ") + sqlite3_errmsg(db));
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
}
