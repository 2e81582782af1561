#pragma once

#include <cstring>

// Root of the runtime's class hierarchy. Each class names itself with PCLASSINFO so that a run-time
// type query can ask an object whether it is, or descends from, a class given by name.
class PObject {
 public:
  virtual ~PObject() = default;

  static const char* Class() { return "PObject"; }

  // Name of the object's class; with ancestor > 0, the name of that many generations up.
  virtual const char* GetClass(unsigned ancestor = 0) const { return ancestor > 0 ? "" : Class(); }

  // True when the object's own class has this name.
  bool IsClass(const char* name) const { return name && std::strcmp(name, GetClass()) == 0; }

  // True when the object's class or one of the classes it derives from has this name.
  bool IsDescendant(const char* name) const { return name && InternalIsDescendant(name); }

  virtual bool InternalIsDescendant(const char* name) const { return IsClass(name); }

 protected:
  PObject() = default;
  PObject(const PObject&) = default;
  PObject& operator=(const PObject&) = default;
};

// Declares a class's run-time name and its parent for the type queries above.
#define PCLASSINFO(cls, par)                                                        \
 public:                                                                            \
  static const char* Class() { return #cls; }                                       \
  const char* GetClass(unsigned ancestor = 0) const override {                      \
    return ancestor > 0 ? par::GetClass(ancestor - 1) : cls::Class();               \
  }                                                                                 \
  bool InternalIsDescendant(const char* name) const override {                      \
    return std::strcmp(name, cls::Class()) == 0 || par::InternalIsDescendant(name); \
  }                                                                                 \
                                                                                    \
 private:
