// Page writer: escaping on the way in, tags from literal names.
#include "study/html_writer.h"

std::string escape_html(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string script_safe_json(const nlohmann::json& value) {
  const std::string text = value.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
  // With ensure_ascii every character beyond ASCII (U+2028 and U+2029 too) is already
  // a \u escape; <, > and & can only occur inside strings, where \u escapes mean the same.
  std::string safe;
  safe.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<': safe += "\\u003c"; break;
      case '>': safe += "\\u003e"; break;
      case '&': safe += "\\u0026"; break;
      default: safe += c;
    }
  }
  return safe;
}

void HtmlWriter::doctype() { page_ += "<!DOCTYPE html>\n"; }

// Append each attribute as ` name="value"`, the value escaped.
void HtmlWriter::attributes(HtmlAttributes list) {
  for (const HtmlAttribute& attribute : list) {
    page_ += ' ';
    page_ += attribute.name.text();
    page_ += "=\"";
    page_ += escape_html(attribute.value);
    page_ += '"';
  }
}

void HtmlWriter::open(HtmlName tag, HtmlAttributes list) {
  page_ += '<';
  page_ += tag.text();
  attributes(list);
  page_ += '>';
}

void HtmlWriter::close(HtmlName tag) {
  page_ += "</";
  page_ += tag.text();
  page_ += '>';
}

void HtmlWriter::element(HtmlName tag, std::string_view content, HtmlAttributes list) {
  open(tag, list);
  text(content);
  close(tag);
}

void HtmlWriter::empty_element(HtmlName tag, HtmlAttributes list) {
  open(tag, list);
  close(tag);
}

void HtmlWriter::text(std::string_view content) { page_ += escape_html(content); }

void HtmlWriter::json_script(std::string_view id, const nlohmann::json& value) {
  open("script", {{"type", "application/json"}, {"id", id}});
  page_ += script_safe_json(value);
  close("script");
}
