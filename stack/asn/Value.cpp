#include "stack/asn/Value.h"

#include "stack/asn/Strings.h"

#include <charconv>
#include <stdexcept>

namespace vantro::asn {

namespace {

[[noreturn]] void misuse(const Value& v, const std::string& what) {
  throw std::logic_error(std::string("asn::Value ") + v.typeName() + ": " + what);
}

// Whether a value built as one type may stand where another is expected: the same type, or a
// simple value of the same kind (its constraints are checked when it is encoded).
bool fits(TypeId have, TypeId want) {
  if (have == want) return true;
  Kind k = typeDesc(want).kind;
  if (typeDesc(have).kind != k) return false;
  return k != Kind::Sequence && k != Kind::Choice && k != Kind::SequenceOf && k != Kind::Enumerated &&
         k != Kind::OpenType;
}

}  // namespace

void Value::requireKind(Kind k, const char* what) const {
  if (kind() != k) misuse(*this, std::string("not ") + what);
}

const FieldDesc& Value::fieldAt(std::uint16_t i) const {
  const TypeDesc& t = desc();
  if (i >= t.count) misuse(*this, "no component " + std::to_string(i));
  return fieldDesc(t, i);
}

bool Value::boolean() const {
  requireKind(Kind::Boolean, "a BOOLEAN");
  return num_ != 0;
}

Value& Value::setBoolean(bool b) {
  requireKind(Kind::Boolean, "a BOOLEAN");
  num_ = b;
  return *this;
}

std::int64_t Value::integer() const {
  requireKind(Kind::Integer, "an INTEGER");
  return num_;
}

Value& Value::setInteger(std::int64_t v) {
  requireKind(Kind::Integer, "an INTEGER");
  num_ = v;
  return *this;
}

std::uint16_t Value::enumerated() const {
  requireKind(Kind::Enumerated, "an ENUMERATED");
  return static_cast<std::uint16_t>(num_);
}

Value& Value::setEnumerated(std::uint16_t index) {
  requireKind(Kind::Enumerated, "an ENUMERATED");
  if (index >= desc().count) misuse(*this, "no enumerator " + std::to_string(index));
  num_ = index;
  return *this;
}

Value& Value::setBytes(std::string_view b) {
  Kind k = kind();
  if (k != Kind::OctetString && k != Kind::CharString && k != Kind::ObjectId) misuse(*this, "has no octets");
  bytes_.assign(b);
  return *this;
}

Value& Value::setBytes(std::span<const std::uint8_t> b) {
  return setBytes(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

std::string Value::text() const {
  requireKind(Kind::CharString, "a character string");
  if (desc().charset == CharSet::BMP) return utf16beToUtf8(bytes_);
  return bytes_;
}

Value& Value::setText(std::string_view utf8) {
  requireKind(Kind::CharString, "a character string");
  if (desc().charset == CharSet::BMP)
    bytes_ = utf8ToUtf16be(utf8);
  else
    bytes_.assign(utf8);
  return *this;
}

std::size_t Value::bitLength() const {
  requireKind(Kind::BitString, "a BIT STRING");
  return static_cast<std::size_t>(num_);
}

Value& Value::setBits(std::span<const std::uint8_t> bits, std::size_t nbits) {
  requireKind(Kind::BitString, "a BIT STRING");
  if (bits.size() * 8 < nbits) misuse(*this, "fewer octets than bits");
  bytes_.assign(reinterpret_cast<const char*>(bits.data()), (nbits + 7) / 8);
  if (nbits % 8) bytes_.back() = static_cast<char>(bytes_.back() & (0xff00 >> (nbits % 8)));
  num_ = static_cast<std::int64_t>(nbits);
  return *this;
}

std::vector<std::uint32_t> Value::oid() const {
  requireKind(Kind::ObjectId, "an OBJECT IDENTIFIER");
  return oidArcs(bytes_);
}

Value& Value::setOid(std::initializer_list<std::uint32_t> arcs) {
  return setOid(std::span<const std::uint32_t>(arcs.begin(), arcs.size()));
}

Value& Value::setOid(std::span<const std::uint32_t> arcs) {
  requireKind(Kind::ObjectId, "an OBJECT IDENTIFIER");
  bytes_ = oidContents(arcs);
  return *this;
}

std::string Value::oidText() const { return oidToText(oid()); }

bool Value::has(std::uint16_t i) const {
  requireKind(Kind::Sequence, "a SEQUENCE");
  fieldAt(i);
  return i < items_.size() && items_[i].present_;
}

const Value* Value::get(std::uint16_t i) const { return has(i) ? &items_[i] : nullptr; }

const Value& Value::operator[](std::uint16_t i) const {
  if (!has(i)) misuse(*this, std::string("component ") + fieldAt(i).name + " is absent");
  return items_[i];
}

Value& Value::field(std::uint16_t i) {
  requireKind(Kind::Sequence, "a SEQUENCE");
  const FieldDesc& f = fieldAt(i);
  if (items_.size() < desc().count) items_.resize(desc().count);
  Value& v = items_[i];
  if (!v.present_) v = Value(f.type);
  return v;
}

Value& Value::set(std::uint16_t i, Value v) {
  Value& slot = field(i);
  if (!fits(v.type_, slot.type_))
    misuse(*this, std::string("component ") + fieldAt(i).name + " takes " + slot.typeName());
  v.type_ = slot.type_;
  v.present_ = true;
  slot = std::move(v);
  return slot;
}

void Value::remove(std::uint16_t i) {
  if (has(i)) items_[i] = Value();
}

std::uint16_t Value::choice() const {
  requireKind(Kind::Choice, "a CHOICE");
  return static_cast<std::uint16_t>(num_);
}

Value& Value::select(std::uint16_t alt) {
  requireKind(Kind::Choice, "a CHOICE");
  const FieldDesc& f = fieldAt(alt);
  num_ = alt;
  bytes_.clear();
  unknown_.clear();
  items_.assign(1, Value(f.type));
  return items_[0];
}

const Value& Value::alternative() const {
  requireKind(Kind::Choice, "a CHOICE");
  if (items_.empty()) misuse(*this, "no alternative selected");
  return items_[0];
}

Value& Value::alternative() {
  requireKind(Kind::Choice, "a CHOICE");
  if (items_.empty()) misuse(*this, "no alternative selected");
  return items_[0];
}

bool Value::isUnknownAlternative() const {
  requireKind(Kind::Choice, "a CHOICE");
  return items_.empty() && !unknown_.empty();
}

std::size_t Value::size() const {
  requireKind(Kind::SequenceOf, "a SEQUENCE OF");
  return items_.size();
}

const Value& Value::at(std::size_t i) const {
  if (i >= size()) misuse(*this, "no element " + std::to_string(i));
  return items_[i];
}

Value& Value::at(std::size_t i) {
  if (i >= size()) misuse(*this, "no element " + std::to_string(i));
  return items_[i];
}

Value& Value::append() {
  requireKind(Kind::SequenceOf, "a SEQUENCE OF");
  items_.emplace_back(static_cast<TypeId>(desc().first));
  return items_.back();
}

Value& Value::append(Value v) {
  requireKind(Kind::SequenceOf, "a SEQUENCE OF");
  TypeId elem = static_cast<TypeId>(desc().first);
  if (!fits(v.type_, elem)) misuse(*this, "element of another type");
  v.type_ = elem;
  v.present_ = true;
  items_.push_back(std::move(v));
  return items_.back();
}

const std::vector<Value>& Value::elements() const {
  requireKind(Kind::SequenceOf, "a SEQUENCE OF");
  return items_;
}

const Value& Value::contained() const {
  requireKind(Kind::OpenType, "an open type");
  if (items_.empty()) misuse(*this, "empty open type");
  return items_[0];
}

Value& Value::contained() {
  requireKind(Kind::OpenType, "an open type");
  if (items_.empty()) items_.emplace_back(static_cast<TypeId>(desc().first));
  return items_[0];
}

int Value::indexOf(std::string_view name) const {
  const TypeDesc& t = desc();
  if (t.kind != Kind::Sequence && t.kind != Kind::Choice && t.kind != Kind::Enumerated) return -1;
  for (std::uint16_t i = 0; i < t.count; ++i)
    if (name == fieldDesc(t, i).name) return i;
  return -1;
}

const Value* Value::find(std::string_view path) const {
  const Value* v = this;
  while (!path.empty() && v) {
    if (path.front() == '.') path.remove_prefix(1);
    if (path.front() == '[') {
      std::size_t close = path.find(']');
      if (close == std::string_view::npos || v->kind() != Kind::SequenceOf) return nullptr;
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
    if (v->kind() == Kind::OpenType && !v->items_.empty()) v = &v->items_[0];
    int i = v->indexOf(name);
    if (i < 0) return nullptr;
    if (v->kind() == Kind::Sequence)
      v = v->get(static_cast<std::uint16_t>(i));
    else if (v->kind() == Kind::Choice)
      v = v->is(static_cast<std::uint16_t>(i)) ? &v->items_[0] : nullptr;
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
