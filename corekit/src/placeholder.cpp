// Keeps the library non-empty until its first class lands.
namespace corekit_detail {
int Placeholder() { return 0; }
}
