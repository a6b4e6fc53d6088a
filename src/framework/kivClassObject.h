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

#include <memory>
#include <string>
#include <type_traits>

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
