#include "stack/asn/Text.h"

#include <cstdio>

namespace vantro::asn {

namespace {

void hex(std::string& out, std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  out += '\'';
  for (char c : bytes) {
    out += digits[static_cast<unsigned char>(c) >> 4];
    out += digits[static_cast<unsigned char>(c) & 15];
  }
  out += "'H";
}

void quoted(std::string& out, std::string_view s) {
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

void render(std::string& out, const Value& v, int indent) {
  std::string pad(static_cast<std::size_t>(indent) * 2, ' ');
  const TypeDesc& t = v.desc();
  switch (t.kind) {
    case Kind::Boolean: out += v.boolean() ? "TRUE" : "FALSE"; break;
    case Kind::Null: out += "NULL"; break;
    case Kind::Integer: out += std::to_string(v.integer()); break;
    case Kind::Enumerated:
      out += v.enumerated() < t.count ? fieldDesc(t, v.enumerated()).name
                                      : "<unknown " + std::to_string(v.enumerated()) + ">";
      break;
    case Kind::BitString:
      hex(out, v.bytes());
      out += " (" + std::to_string(v.bitLength()) + " bits)";
      break;
    case Kind::OctetString: hex(out, v.bytes()); break;
    case Kind::CharString: quoted(out, v.text()); break;
    case Kind::ObjectId: out += v.oidText(); break;
    case Kind::Sequence: {
      out += "{\n";
      for (std::uint16_t i = 0; i < t.count; ++i) {
        if (!v.has(i)) continue;
        out += pad + "  " + fieldDesc(t, i).name + " ";
        render(out, v[i], indent + 1);
        out += "\n";
      }
      for (const UnknownExtension& u : v.unknownExtensions()) {
        out += pad + "  <addition " + std::to_string(u.index) + "> ";
        hex(out, u.bytes);
        out += "\n";
      }
      out += pad + "}";
      break;
    }
    case Kind::Choice:
      if (v.isUnknownAlternative()) {
        out += "<alternative " + std::to_string(v.choice()) + "> ";
        hex(out, v.unknownExtensions()[0].bytes);
      } else {
        out += fieldDesc(t, v.choice()).name;
        out += " : ";
        render(out, v.alternative(), indent);
      }
      break;
    case Kind::SequenceOf:
      out += "{\n";
      for (const Value& e : v.elements()) {
        out += pad + "  ";
        render(out, e, indent + 1);
        out += "\n";
      }
      out += pad + "}";
      break;
    case Kind::OpenType: render(out, v.contained(), indent); break;
  }
}

}  // namespace

std::string toText(const Value& v) {
  std::string out;
  render(out, v, 0);
  return out;
}

}  // namespace vantro::asn
