// The tables of a report, kept beside its three documents for the viewer's "Comma
// Separated Data" choice, and the files the viewer saves.
//
// Each report fills one ReportTable while it writes its lines, with the columns below
// (one header row, then one row per record; every cell is text). csv_format writes it as
// RFC 4180 comma-separated values: fields joined by ",", records ended by CR LF, a field
// that holds a comma, a double quote, a CR or a LF enclosed in double quotes with its
// quotes doubled.
//
//   host report        one row per host, peer and leaf protocol of the link's tally:
//                      Host, Host Address, Traffic to, Peer Address, Protocol, Packets, Bytes
//                      (Host and Traffic to are the names shown in the report, the name
//                      or else the address; the address columns always hold the address)
//   statistics report  one row per ranking entry, then the overall figures:
//                      Section, Rank, Name, Value
//                      Section "Top Hosts" (Value: bytes sent), "Top Alarms" (activations),
//                      "Top Links" (bytes sent), ranks from 1; then Section "Overall
//                      Statistics" with an empty rank and Name "Peak Network Load",
//                      "Average Network Load", "Recording Started", "Report Generated"
//   alarm report       one row per activation of an alarm that fired:
//                      Alarm Type, Alarm Notify String, Times Activated, Activated At
//                      (type "Threshold" or "Occurrence"; times as in the report, without
//                      the line feed)
//
// No Qt.
#pragma once

#include <array>
#include <string>
#include <vector>

struct ReportTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;  // each as wide as columns (report_table_add pads or cuts)
};

inline constexpr std::array<const char*, 7> kHostReportColumns = {
    "Host", "Host Address", "Traffic to", "Peer Address", "Protocol", "Packets", "Bytes"};
inline constexpr std::array<const char*, 4> kStatsReportColumns = {"Section", "Rank", "Name", "Value"};
inline constexpr std::array<const char*, 4> kAlarmReportColumns = {
    "Alarm Type", "Alarm Notify String", "Times Activated", "Activated At"};

// A table with the given columns and no rows.
template <size_t N>
[[nodiscard]] ReportTable report_table_make(const std::array<const char*, N>& columns) {
    return ReportTable{std::vector<std::string>(columns.begin(), columns.end()), {}};
}

// Adds a row, padded with empty cells or cut to the table's width.
void report_table_add(ReportTable* table, std::vector<std::string> row);

// One field as it is written in a comma-separated file.
[[nodiscard]] std::string csv_field(const std::string& text);

// The whole table: the header row, then the rows.
[[nodiscard]] std::string csv_format(const ReportTable& table);

// Creates `path` with `bytes`, never replacing a file: the bytes go to a temporary file
// beside it, which then takes the name only if nothing holds it. Returns 1 when written,
// 0 when `path` already exists (it is left unchanged), -1 on failure (nothing is left).
[[nodiscard]] int report_save_new(const std::string& path, const std::string& bytes);

// Copies the file `from` to a new file `to` with report_save_new: 1 copied, 0 `to`
// exists, -1 `from` cannot be read or `to` cannot be written.
[[nodiscard]] int report_copy_new(const std::string& from, const std::string& to);
