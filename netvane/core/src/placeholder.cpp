// Keeps the library non-empty until its first source lands.
namespace netvane_detail {
int Placeholder() { return 0; }
}
