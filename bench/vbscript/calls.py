def add(a, b):
    return a + b
def fib(n):
    if n < 2:
        return n
    return fib(n - 1) + fib(n - 2)
def work(n):
    s = 0
    for i in range(1, n + 1):
        s = add(s, i)
    return str(s) + " " + str(fib(24))
print(work(1000000))
