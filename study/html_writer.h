// The page writer of the study report: builds an HTML page in memory, where every
// text and every attribute value is escaped on its way in. Element and attribute
// names are literals of the program (checked at compile time), never texts from
// input. Markup goes in as it is through `raw` alone, kept for the page's own
// scripts and styles; data for the scripts goes in one JSON block made safe for
// a <script> element.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

// Return text with &, <, >, " and ' replaced by HTML character references.
std::string escape_html(std::string_view text);

// Return JSON that can sit inside a <script> element: <, >, &, U+2028 and U+2029 escaped, bad UTF-8 replaced.
std::string script_safe_json(const nlohmann::json& value);

// The name of an element or an attribute: a literal of the program, so nothing from input.
class HtmlName {
 public:
  consteval HtmlName(const char* name) : name_(name) {}
  std::string_view text() const { return name_; }

 private:
  const char* name_;
};

// One attribute: its name and its value (escaped when written).
struct HtmlAttribute {
  HtmlName name;
  std::string_view value;
};

using HtmlAttributes = std::initializer_list<HtmlAttribute>;

class HtmlWriter {
 public:
  // Reserve room for a page of about `bytes` bytes.
  void reserve(size_t bytes) { page_.reserve(bytes); }
  // Append "<!DOCTYPE html>" and a line break.
  void doctype();
  // Append an opening tag with its attributes: "<tag name="value">".
  void open(HtmlName tag, HtmlAttributes attributes = {});
  // Append a closing tag: "</tag>".
  void close(HtmlName tag);
  // Append an element that holds one text: "<tag>text</tag>".
  void element(HtmlName tag, std::string_view text, HtmlAttributes attributes = {});
  // Append an element that holds nothing: "<tag></tag>".
  void empty_element(HtmlName tag, HtmlAttributes attributes = {});
  // Append text, escaped.
  void text(std::string_view text);
  // Append a line break between elements.
  void line() { page_ += '\n'; }
  // Append a <script type="application/json"> element that holds `value`, made script-safe.
  void json_script(std::string_view id, const nlohmann::json& value);
  // Append markup as it is. NOTE: only for the page's own scripts and styles, built into the
  // program; never for a text that comes from input or from the texts table.
  void raw(std::string_view markup) { page_ += markup; }
  // Return the page written so far, leaving the writer empty.
  std::string take() { return std::move(page_); }

 private:
  void attributes(HtmlAttributes list);
  std::string page_;
};
