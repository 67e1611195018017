#include "support/run_records.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "support/files.h"

namespace test {
namespace {

using Json = nlohmann::json;

bool HasType(const Json& value, const std::string& type) {
  if (type == "object") return value.is_object();
  if (type == "array") return value.is_array();
  if (type == "string") return value.is_string();
  if (type == "integer") return value.is_number_integer();
  if (type == "number") return value.is_number();
  if (type == "boolean") return value.is_boolean();
  return type == "null" && value.is_null();
}

struct Validator {
  const Json& root;
  std::string findings;

  void Fail(const std::string& at, const std::string& what) { findings += at + ": " + what + "\n"; }

  const Json& Resolve(const std::string& ref) {
    // Only local references: #/$defs/name.
    return root.at(Json::json_pointer(ref.substr(1)));
  }

  bool Holds(const Json& value, const Json& schema) {
    Validator inner{root, ""};
    inner.Check(value, schema, "");
    return inner.findings.empty();
  }

  void Check(const Json& value, const Json& schema, const std::string& at) {
    if (schema.contains("$ref")) Check(value, Resolve(schema["$ref"]), at);
    if (schema.contains("type")) {
      bool any = false;
      for (const Json& type :
           schema["type"].is_array() ? schema["type"] : Json::array({schema["type"]}))
        any = any || HasType(value, type);
      if (!any) Fail(at, "is not of type " + schema["type"].dump());
    }
    if (schema.contains("const") && value != schema["const"])
      Fail(at, "is not " + schema["const"].dump());
    if (schema.contains("enum")) {
      bool listed = false;
      for (const Json& word : schema["enum"]) listed = listed || value == word;
      if (!listed) Fail(at, value.dump() + " is none of " + schema["enum"].dump());
    }
    if (schema.contains("pattern") && value.is_string() &&
        !std::regex_search(value.get<std::string>(),
                           std::regex(schema["pattern"].get<std::string>())))
      Fail(at, value.dump() + " does not match " + schema["pattern"].dump());
    if (schema.contains("minimum") && value.is_number() && value < schema["minimum"])
      Fail(at, "is below " + schema["minimum"].dump());
    if (schema.contains("oneOf")) {
      int held = 0;
      for (const Json& choice : schema["oneOf"]) held += Holds(value, choice) ? 1 : 0;
      if (held != 1) Fail(at, "holds " + std::to_string(held) + " choices of oneOf");
    }
    if (value.is_object()) CheckObject(value, schema, at);
    if (value.is_array() && schema.contains("items")) {
      for (size_t i = 0; i < value.size(); ++i)
        Check(value[i], schema["items"], at + "/" + std::to_string(i));
    }
  }

  void CheckObject(const Json& value, const Json& schema, const std::string& at) {
    if (schema.contains("required")) {
      for (const Json& name : schema["required"])
        if (!value.contains(name.get<std::string>())) Fail(at, "lacks " + name.get<std::string>());
    }
    const Json properties = schema.value("properties", Json::object());
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (properties.contains(it.key())) {
        Check(it.value(), properties[it.key()], at + "/" + it.key());
      } else if (schema.value("additionalProperties", true) == false) {
        Fail(at, "has " + it.key() + ", which the schema does not know");
      }
    }
  }
};

}  // namespace

const Json& RunRecordSchema() {
  static const Json schema =
      Json::parse(ReadBytes(Join(BinaryDir(), "docs/run-record.schema.json")));
  return schema;
}

std::string SchemaFindings(const Json& value, const Json& schema) {
  Validator validator{schema, ""};
  validator.Check(value, schema, "");
  return validator.findings;
}

std::vector<Json> ReadRunRecords(const std::string& path) {
  std::vector<Json> records;
  std::istringstream lines(ReadBytes(path));
  for (std::string line; std::getline(lines, line);) {
    Json record = Json::parse(line, nullptr, false);
    EXPECT_FALSE(record.is_discarded()) << "not JSON: " << line;
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace test
