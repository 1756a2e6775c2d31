// Typed fields of JSON objects.
#include "study/json_fields.h"

int64_t json_integer(const nlohmann::json& object, const char* key, int64_t fallback) {
  const auto field = object.find(key);
  if (field == object.end() || !field->is_number_integer()) return fallback;
  return field->get<int64_t>();
}

std::string json_text(const nlohmann::json& object, const char* key) {
  const auto field = object.find(key);
  return field != object.end() && field->is_string() ? field->get<std::string>() : "";
}

bool json_flag(const nlohmann::json& object, const char* key, bool fallback) {
  const auto field = object.find(key);
  return field != object.end() && field->is_boolean() ? field->get<bool>() : fallback;
}
