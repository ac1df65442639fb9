#pragma once
// Run-time type information for framework classes: a class name and a base.

struct CRuntimeClass {
  const char* m_lpszClassName;
  const CRuntimeClass* m_pBaseClass;

  [[nodiscard]] bool IsDerivedFrom(const CRuntimeClass* pBaseClass) const noexcept {
    for (const CRuntimeClass* p = this; p != nullptr; p = p->m_pBaseClass) {
      if (p == pBaseClass) {
        return true;
      }
    }
    return false;
  }
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)             \
 public:                                        \
  static const CRuntimeClass class##class_name; \
  const CRuntimeClass* GetRuntimeClass() const noexcept override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                  \
  const CRuntimeClass class_name::class##class_name = {#class_name,                     \
                                                       RUNTIME_CLASS(base_class_name)}; \
  const CRuntimeClass* class_name::GetRuntimeClass() const noexcept {                   \
    return RUNTIME_CLASS(class_name);                                                   \
  }
