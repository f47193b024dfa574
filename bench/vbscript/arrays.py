import math
def work(n):
    flags = [False] * (n + 1)
    for i in range(2, n + 1):
        flags[i] = True
    for i in range(2, int(math.sqrt(n)) + 1):
        if flags[i]:
            for j in range(i * i, n + 1, i):
                flags[j] = False
    count = 0
    for i in range(2, n + 1):
        if flags[i]:
            count += 1
    values = [0] * 10000
    for i in range(10000):
        values[i] = i % 100
    total = 0
    for k in range(50):
        for i in range(10000):
            total = total + values[i]
    return str(count) + " " + str(total)
print(work(1000000))
