#pragma once
// Class objects: one constant instance per class, named like the class, whose virtual members
// answer the class-level questions and create instances (the virtual constructor). Every
// family of classes (segments, segment lists, thumbnail bitmaps, TIFF directories and entries,
// ...) is declared the same way:
//
//   class TkivFoo : public TkivTraceObject {          // the family's base class
//   public:
//     class TClass : public TkivClassFamily<TkivFoo> { // its class-level questions
//     public:
//       using TkivClassFamily::TkivClassFamily;
//       virtual bool CanRead(TStream&) const { return true; }
//     };
//     static const TClass& ClassObject();
//     explicit TkivFoo(const TClass& Class);           // every instance knows its class
//   };
//
//   const TkivFoo::TClass& TkivFoo::ClassObject() {
//     static const TkivClassOf<TkivFoo> Class("TkivFoo");
//     return Class;
//   }
//
// A class that answers differently derives its class object from TkivClassOf and overrides
// the answers: `class TBarClass : public TkivClassOf<TkivBar> { bool CanRead(...) ... };`.
//
// A registry of a family is a TkivClassList of its class object type, held by value and
// filled by the unit's initialisation (never by a static constructor):
//
//   using TkivFooClassList = TkivClassList<TkivFoo::TClass>;
//   TkivFooClassList FooClassList;                 // Clear() in the unit's finalisation
//   FooClassList.Insert(0, TkivBar::ClassObject());
//   const TkivFoo::TClass* Class = FooClassList.FindReader(Stream); // the first CanRead

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

class TkivClassObject {
public:
  explicit TkivClassObject(std::string Name) : Name(std::move(Name)) {}
  TkivClassObject(const TkivClassObject&) = delete;
  TkivClassObject& operator=(const TkivClassObject&) = delete;
  virtual ~TkivClassObject() = default;

  const std::string& ClassName() const { return Name; }

private:
  std::string Name;
};

// The root of the class objects of a family whose instances all derive from TFamilyObject.
template <class TFamilyObject> class TkivClassFamily : public TkivClassObject {
public:
  using TkivClassObject::TkivClassObject;

  // What NewInstance answers, for every class of the family.
  using TFamilyBase = TFamilyObject;
  // What every instance of the classes below this class object is. A branch of the family
  // whose instances are all of a narrower type declares its own (see CreateInstance).
  using TInstanceBase = TFamilyObject;

  // The virtual constructor: a free-standing instance of the class asked.
  std::unique_ptr<TFamilyObject> Create() const { return NewInstance(); }

protected:
  virtual std::unique_ptr<TFamilyObject> NewInstance() const = 0;
};

// The class object of TInstance: the answers of TClassBase (by default the class object type
// that TInstance declares or inherits) and a virtual constructor that builds a TInstance from
// this class object.
template <class TInstance, class TClassBase = typename TInstance::TClass>
class TkivClassOf : public TClassBase {
  static_assert(std::is_base_of_v<typename TClassBase::TInstanceBase, TInstance>,
                "a class object creates instances of the type its class object type promises");

public:
  using TClassBase::TClassBase;

protected:
  std::unique_ptr<typename TClassBase::TFamilyBase> NewInstance() const override {
    return std::make_unique<TInstance>(*this);
  }
};

// Create, typed as what the class object's type promises (its TInstanceBase).
template <class TClass>
std::unique_ptr<typename TClass::TInstanceBase> CreateInstance(const TClass& Class) {
  using TInstance = typename TClass::TInstanceBase;
  return std::unique_ptr<TInstance>(static_cast<TInstance*>(Class.Create().release()));
}

// An ordered list of class objects of one family: a registry. Index 0 is asked first. The
// class objects are constant singletons; the list only refers to them.
template <class TClass> class TkivClassList {
public:
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  const TClass& operator[](int32_t Index) const { return *Items.at(size_t(Index)); }
  void Add(const TClass& Class) { Items.push_back(&Class); }
  // Index is clamped to 0..Count.
  void Insert(int32_t Index, const TClass& Class) {
    Items.insert(Items.begin() + std::clamp<int32_t>(Index, 0, Count()), &Class);
  }
  int32_t IndexOf(const TClass& Class) const {
    const auto It = std::find(Items.begin(), Items.end(), &Class);
    return It == Items.end() ? -1 : static_cast<int32_t>(It - Items.begin());
  }
  void Clear() { Items.clear(); }

  // The first class that Accepts, asked in order; null when none does.
  template <class TPredicate> const TClass* FindFirst(TPredicate&& Accepts) const {
    for (const TClass* Class : Items)
      if (Accepts(*Class)) return Class;
    return nullptr;
  }
  // The first class whose class-level CanRead answers yes to Args; null when none does.
  template <class... TArgs> const TClass* FindReader(TArgs&&... Args) const {
    return FindFirst([&](const TClass& Class) { return Class.CanRead(Args...); });
  }

private:
  std::vector<const TClass*> Items;
};
