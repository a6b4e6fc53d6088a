#pragma once
// The base of every class object: one constant instance per class, named like the class,
// whose virtual members answer the class-level questions and create instances.

#include <string>

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
