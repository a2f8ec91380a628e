// WQSTORE_EXPORT marks what the shared library libwqstore exports: the
// classes and functions of namespace wqstore declared in these headers.
// Everything else in the library is hidden.
#ifndef WQSTORE_EXPORT_H_
#define WQSTORE_EXPORT_H_

#if defined(__GNUC__) || defined(__clang__)
#define WQSTORE_EXPORT [[gnu::visibility("default")]]
#else
#define WQSTORE_EXPORT
#endif

#endif  // WQSTORE_EXPORT_H_
