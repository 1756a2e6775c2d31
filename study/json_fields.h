// Fields of JSON objects read from files the tool did not write itself, each
// of the type it must have or a fallback: a field of another type never ends
// the program.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

// Return an integer field of a JSON object, or `fallback`.
int64_t json_integer(const nlohmann::json& object, const char* key, int64_t fallback);

// Return a text field of a JSON object, or "".
std::string json_text(const nlohmann::json& object, const char* key);

// Return a true/false field of a JSON object, or `fallback` when it is missing or no boolean.
bool json_flag(const nlohmann::json& object, const char* key, bool fallback);
