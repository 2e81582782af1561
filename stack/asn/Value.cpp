#include "stack/asn/Value.h"

#include "stack/asn/Strings.h"

#include <charconv>
#include <stdexcept>

namespace vantro::asn {

namespace {

[[noreturn]] void Misuse(const Value& v, const std::string& what) {
  throw std::logic_error(std::string("asn::Value ") + v.TypeName() + ": " + what);
}

// Whether a value built as one type may stand where another is expected: the same type, or a
// simple value of the same kind (its constraints are checked when it is encoded).
bool Fits(TypeId have, TypeId want) {
  if (have == want) return true;
  Kind k = typeDesc(want).kind;
  if (typeDesc(have).kind != k) return false;
  return k != Kind::Sequence && k != Kind::Choice && k != Kind::SequenceOf && k != Kind::Enumerated &&
         k != Kind::OpenType;
}

}  // namespace

void Value::RequireKind(asn::Kind k, const char* what) const {
  if (Kind() != k) Misuse(*this, std::string("not ") + what);
}

const FieldDesc& Value::FieldAt(std::uint16_t i) const {
  const TypeDesc& t = Desc();
  if (i >= t.count) Misuse(*this, "no component " + std::to_string(i));
  return fieldDesc(t, i);
}

bool Value::Boolean() const {
  RequireKind(Kind::Boolean, "a BOOLEAN");
  return num_ != 0;
}

Value& Value::SetBoolean(bool b) {
  RequireKind(Kind::Boolean, "a BOOLEAN");
  num_ = b;
  return *this;
}

std::int64_t Value::Integer() const {
  RequireKind(Kind::Integer, "an INTEGER");
  return num_;
}

Value& Value::SetInteger(std::int64_t v) {
  RequireKind(Kind::Integer, "an INTEGER");
  num_ = v;
  return *this;
}

std::uint16_t Value::Enumerated() const {
  RequireKind(Kind::Enumerated, "an ENUMERATED");
  return static_cast<std::uint16_t>(num_);
}

Value& Value::SetEnumerated(std::uint16_t index) {
  RequireKind(Kind::Enumerated, "an ENUMERATED");
  if (index >= Desc().count) Misuse(*this, "no enumerator " + std::to_string(index));
  num_ = index;
  return *this;
}

Value& Value::SetBytes(std::string_view b) {
  asn::Kind k = Kind();
  if (k != Kind::OctetString && k != Kind::CharString && k != Kind::ObjectId) Misuse(*this, "has no octets");
  bytes_.assign(b);
  return *this;
}

Value& Value::SetBytes(std::span<const std::uint8_t> b) {
  return SetBytes(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

std::string Value::Text() const {
  RequireKind(Kind::CharString, "a character string");
  if (Desc().charset == CharSet::BMP) return Utf16beToUtf8(bytes_);
  return bytes_;
}

Value& Value::SetText(std::string_view utf8) {
  RequireKind(Kind::CharString, "a character string");
  if (Desc().charset == CharSet::BMP)
    bytes_ = Utf8ToUtf16be(utf8);
  else
    bytes_.assign(utf8);
  return *this;
}

std::size_t Value::BitLength() const {
  RequireKind(Kind::BitString, "a BIT STRING");
  return static_cast<std::size_t>(num_);
}

Value& Value::SetBits(std::span<const std::uint8_t> bits, std::size_t nbits) {
  RequireKind(Kind::BitString, "a BIT STRING");
  if (bits.size() * 8 < nbits) Misuse(*this, "fewer octets than bits");
  bytes_.assign(reinterpret_cast<const char*>(bits.data()), (nbits + 7) / 8);
  if (nbits % 8) bytes_.back() = static_cast<char>(bytes_.back() & (0xff00 >> (nbits % 8)));
  num_ = static_cast<std::int64_t>(nbits);
  return *this;
}

std::vector<std::uint32_t> Value::Oid() const {
  RequireKind(Kind::ObjectId, "an OBJECT IDENTIFIER");
  return OidArcs(bytes_);
}

Value& Value::SetOid(std::initializer_list<std::uint32_t> arcs) {
  return SetOid(std::span<const std::uint32_t>(arcs.begin(), arcs.size()));
}

Value& Value::SetOid(std::span<const std::uint32_t> arcs) {
  RequireKind(Kind::ObjectId, "an OBJECT IDENTIFIER");
  bytes_ = OidContents(arcs);
  return *this;
}

std::string Value::OidText() const { return OidToText(Oid()); }

bool Value::Has(std::uint16_t i) const {
  RequireKind(Kind::Sequence, "a SEQUENCE");
  FieldAt(i);
  return i < items_.size() && items_[i].present_;
}

const Value* Value::Get(std::uint16_t i) const { return Has(i) ? &items_[i] : nullptr; }

const Value& Value::operator[](std::uint16_t i) const {
  if (!Has(i)) Misuse(*this, std::string("component ") + FieldAt(i).name + " is absent");
  return items_[i];
}

Value& Value::Field(std::uint16_t i) {
  RequireKind(Kind::Sequence, "a SEQUENCE");
  const FieldDesc& f = FieldAt(i);
  if (items_.size() < Desc().count) items_.resize(Desc().count);
  Value& v = items_[i];
  if (!v.present_) v = Value(f.type);
  return v;
}

Value& Value::Set(std::uint16_t i, Value v) {
  Value& slot = Field(i);
  if (!Fits(v.type_, slot.type_))
    Misuse(*this, std::string("component ") + FieldAt(i).name + " takes " + slot.TypeName());
  v.type_ = slot.type_;
  v.present_ = true;
  slot = std::move(v);
  return slot;
}

void Value::Remove(std::uint16_t i) {
  if (Has(i)) items_[i] = Value();
}

std::uint16_t Value::Choice() const {
  RequireKind(Kind::Choice, "a CHOICE");
  return static_cast<std::uint16_t>(num_);
}

Value& Value::Select(std::uint16_t alt) {
  RequireKind(Kind::Choice, "a CHOICE");
  const FieldDesc& f = FieldAt(alt);
  num_ = alt;
  bytes_.clear();
  unknown_.clear();
  items_.assign(1, Value(f.type));
  return items_[0];
}

const Value& Value::Alternative() const {
  RequireKind(Kind::Choice, "a CHOICE");
  if (items_.empty()) Misuse(*this, "no alternative selected");
  return items_[0];
}

Value& Value::Alternative() {
  RequireKind(Kind::Choice, "a CHOICE");
  if (items_.empty()) Misuse(*this, "no alternative selected");
  return items_[0];
}

bool Value::IsUnknownAlternative() const {
  RequireKind(Kind::Choice, "a CHOICE");
  return items_.empty() && !unknown_.empty();
}

std::size_t Value::Size() const {
  RequireKind(Kind::SequenceOf, "a SEQUENCE OF");
  return items_.size();
}

const Value& Value::At(std::size_t i) const {
  if (i >= Size()) Misuse(*this, "no element " + std::to_string(i));
  return items_[i];
}

Value& Value::At(std::size_t i) {
  if (i >= Size()) Misuse(*this, "no element " + std::to_string(i));
  return items_[i];
}

Value& Value::Append() {
  RequireKind(Kind::SequenceOf, "a SEQUENCE OF");
  items_.emplace_back(static_cast<TypeId>(Desc().first));
  return items_.back();
}

Value& Value::Append(Value v) {
  RequireKind(Kind::SequenceOf, "a SEQUENCE OF");
  TypeId elem = static_cast<TypeId>(Desc().first);
  if (!Fits(v.type_, elem)) Misuse(*this, "element of another type");
  v.type_ = elem;
  v.present_ = true;
  items_.push_back(std::move(v));
  return items_.back();
}

const std::vector<Value>& Value::Elements() const {
  RequireKind(Kind::SequenceOf, "a SEQUENCE OF");
  return items_;
}

const Value& Value::Contained() const {
  RequireKind(Kind::OpenType, "an open type");
  if (items_.empty()) Misuse(*this, "empty open type");
  return items_[0];
}

Value& Value::Contained() {
  RequireKind(Kind::OpenType, "an open type");
  if (items_.empty()) items_.emplace_back(static_cast<TypeId>(Desc().first));
  return items_[0];
}

int Value::IndexOf(std::string_view name) const {
  const TypeDesc& t = Desc();
  if (t.kind != Kind::Sequence && t.kind != Kind::Choice && t.kind != Kind::Enumerated) return -1;
  for (std::uint16_t i = 0; i < t.count; ++i)
    if (name == fieldDesc(t, i).name) return i;
  return -1;
}

const Value* Value::Find(std::string_view path) const {
  const Value* v = this;
  while (!path.empty() && v) {
    if (path.front() == '.') path.remove_prefix(1);
    if (path.front() == '[') {
      std::size_t close = path.find(']');
      if (close == std::string_view::npos || v->Kind() != Kind::SequenceOf) return nullptr;
      std::size_t index = 0;
      auto [p, ec] = std::from_chars(path.data() + 1, path.data() + close, index);
      if (ec != std::errc() || p != path.data() + close || index >= v->items_.size()) return nullptr;
      v = &v->items_[index];
      path.remove_prefix(close + 1);
      continue;
    }
    std::size_t end = path.find_first_of(".[");
    std::string_view name = path.substr(0, end);
    path.remove_prefix(end == std::string_view::npos ? path.size() : end);
    if (v->Kind() == Kind::OpenType && !v->items_.empty()) v = &v->items_[0];
    int i = v->IndexOf(name);
    if (i < 0) return nullptr;
    if (v->Kind() == Kind::Sequence)
      v = v->Get(static_cast<std::uint16_t>(i));
    else if (v->Kind() == Kind::Choice)
      v = v->Is(static_cast<std::uint16_t>(i)) ? &v->items_[0] : nullptr;
    else
      return nullptr;
  }
  return v;
}

bool Value::operator==(const Value& o) const {
  if (type_ != o.type_ || present_ != o.present_ || num_ != o.num_ || bytes_ != o.bytes_ || unknown_ != o.unknown_)
    return false;
  // Absent trailing components compare equal to a shorter component vector.
  std::size_t n = std::max(items_.size(), o.items_.size());
  for (std::size_t i = 0; i < n; ++i) {
    const Value* a = i < items_.size() ? &items_[i] : nullptr;
    const Value* b = i < o.items_.size() ? &o.items_[i] : nullptr;
    bool ap = a && a->present_, bp = b && b->present_;
    if (ap != bp) return false;
    if (ap && !(*a == *b)) return false;
  }
  return true;
}

}  // namespace vantro::asn
