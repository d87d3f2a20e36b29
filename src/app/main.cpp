#include <cstdio>

int main() {
  std::puts("Dorvane v8.003");
  return 0;
}
