// Reads the utility's run records and holds each to docs/run-record.schema.json.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace test {

// The schema, as it travels beside the test binary.
const nlohmann::json& RunRecordSchema();
// What in value breaks schema (only the keywords the record's schema uses), one finding a
// line with the path to the value; "" when it holds.
std::string SchemaFindings(const nlohmann::json& value, const nlohmann::json& schema);
// Every line of a record file, parsed; a line that is no JSON fails the test.
std::vector<nlohmann::json> ReadRunRecords(const std::string& path);

}  // namespace test
