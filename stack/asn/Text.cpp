#include "stack/asn/Text.h"

#include <cstdio>

namespace vantro::asn {

namespace {

void Hex(std::string& out, std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  out += '\'';
  for (char c : bytes) {
    out += digits[static_cast<unsigned char>(c) >> 4];
    out += digits[static_cast<unsigned char>(c) & 15];
  }
  out += "'H";
}

void Quoted(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 32) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  out += '"';
}

void Render(std::string& out, const Value& v, int indent) {
  std::string pad(static_cast<std::size_t>(indent) * 2, ' ');
  const TypeDesc& t = v.Desc();
  switch (t.kind) {
    case Kind::Boolean: out += v.Boolean() ? "TRUE" : "FALSE"; break;
    case Kind::Null: out += "NULL"; break;
    case Kind::Integer: out += std::to_string(v.Integer()); break;
    case Kind::Enumerated:
      out += v.Enumerated() < t.count ? fieldDesc(t, v.Enumerated()).name
                                      : "<unknown " + std::to_string(v.Enumerated()) + ">";
      break;
    case Kind::BitString:
      Hex(out, v.Bytes());
      out += " (" + std::to_string(v.BitLength()) + " bits)";
      break;
    case Kind::OctetString: Hex(out, v.Bytes()); break;
    case Kind::CharString: Quoted(out, v.Text()); break;
    case Kind::ObjectId: out += v.OidText(); break;
    case Kind::Sequence: {
      out += "{\n";
      for (std::uint16_t i = 0; i < t.count; ++i) {
        if (!v.Has(i)) continue;
        out += pad + "  " + fieldDesc(t, i).name + " ";
        Render(out, v[i], indent + 1);
        out += "\n";
      }
      for (const UnknownExtension& u : v.UnknownExtensions()) {
        out += pad + "  <addition " + std::to_string(u.index) + "> ";
        Hex(out, u.bytes);
        out += "\n";
      }
      out += pad + "}";
      break;
    }
    case Kind::Choice:
      if (v.IsUnknownAlternative()) {
        out += "<alternative " + std::to_string(v.Choice()) + "> ";
        Hex(out, v.UnknownExtensions()[0].bytes);
      } else {
        out += fieldDesc(t, v.Choice()).name;
        out += " : ";
        Render(out, v.Alternative(), indent);
      }
      break;
    case Kind::SequenceOf:
      out += "{\n";
      for (const Value& e : v.Elements()) {
        out += pad + "  ";
        Render(out, e, indent + 1);
        out += "\n";
      }
      out += pad + "}";
      break;
    case Kind::OpenType: Render(out, v.Contained(), indent); break;
  }
}

}  // namespace

std::string ToText(const Value& v) {
  std::string out;
  Render(out, v, 0);
  return out;
}

}  // namespace vantro::asn
