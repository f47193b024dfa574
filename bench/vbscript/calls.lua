local function add(a, b) return a + b end
local function fib(n)
  if n < 2 then return n end
  return fib(n - 1) + fib(n - 2)
end
local function work(n)
  local s = 0
  for i = 1, n do s = add(s, i) end
  return string.format("%d %d", s, fib(24))
end
print(work(1000000))
