\\ Makes ecm_planted.vec: curves of Suyama's family whose order modulo a
\\ chosen prime p is known (PARI's ellorder), with the bounds at which the
\\ second elliptic-curve engine must find p, and just miss it.
\\   gp -q ecm_planted.gp > ecm_planted.vec
\\
\\ The curve of sigma: u = sigma^2 - 5, v = 4 sigma, x0 = u^3 / v^3,
\\ A = (v - u)^3 (3u + v) / (4 u^3 v) - 2. The start point (x0, 1) lies on
\\ B y^2 = x^3 + A x^2 + x with B = x0^3 + A x0^2 + x0, which is
\\ Y^2 = X^3 + A B X^2 + B^2 X in X = B x, Y = B^2 y.

setrand(20260);
R = nextprime(2^200 + 2^123 + 12345);   \\ the large cofactor: never smooth at these bounds

order(p, s) = {
  my(u = Mod(s^2 - 5, p), v = Mod(4 * s, p), x0, A, B, E);
  if (u == 0 || v == 0, return(0));
  x0 = u^3 / v^3; A = (v - u)^3 * (3*u + v) / (4 * u^3 * v) - 2;
  if (A^2 == 4, return(0));
  B = x0^3 + A * x0^2 + x0;
  if (B == 0, return(0));
  E = ellinit([0, lift(A * B), 0, lift(B^2), 0], p);
  ellorder(E, [lift(B * x0), lift(B^2)]);
}

\\ The largest prime power dividing o (1 for o = 1).
toppower(o) = { my(f = factor(o), m = 1); for (i = 1, #f~, m = max(m, f[i,1]^f[i,2])); m; }

\\ The steps of stage 1 for B1: t doublings, then each odd prime power.
steps(b1) = { my(s = List()); for (i = 1, logint(b1, 2), listput(s, 2));
  forprime (q = 3, b1, for (e = 1, logint(b1, q), listput(s, q))); Vec(s); }

\\ The first step after which o divides the running product (0: never).
completion(o, st) = { my(m = 1); for (t = 1, #st, m *= st[t]; if (m % o == 0, return(t))); 0; }

row(n, s, b1, b2, stage, f, note) = print(n, " ", s, " ", b1, " ", b2, " ", stage, " ", f, "  # ", note);

print("# n sigma B1 B2 stage factor  (stage 0: none; B2 = B1: no stage 2)");
print("# Made by ecm_planted.gp with PARI/GP: the order of the start point modulo p is known.");

\\ Stage 1: B1 at the largest prime power of the order finds p; one below misses.
found = 0;
{while (found < 6,
  my(p = nextprime(2^34 + random(2^36)), s = 6 + random(2^62), o = order(p, s), L);
  if (o == 0, next);
  L = toppower(o);
  if (L < 50 || L > 200000, next);
  row(p * R, s, L, L, 1, p, Str("order ", o, " = ", factor(o), ", largest prime power ", L));
  row(p * R, s, L - 1, L - 1, 0, 0, "one below the largest prime power: no stage 2, nothing");
  found++)};

\\ Stage 2: the largest prime q of the order (to the first power) above the
\\ rest; B1 at the rest's largest prime power, B2 = q finds p in stage 2.
\\ B2 = q - 2 B1 - 1 misses: no pair j D +- i up to B2 + D reaches q.
found = 0;
{while (found < 6,
  my(p = nextprime(2^34 + random(2^36)), s = 6 + random(2^62), o = order(p, s), f, q, L2);
  if (o == 0, next);
  f = factor(o); q = f[#f~, 1];
  if (f[#f~, 2] != 1, next);
  L2 = toppower(o / q);
  if (L2 < 200 || L2 > 50000 || q <= 3 * L2 || q > 5000000, next);
  row(p * R, s, L2, q, 2, p, Str("order ", o, " = ", factor(o), ", rest up to ", L2, ", prime ", q));
  row(p * R, s, L2, q - 2 * L2 - 1, 0, 0, "B2 short of the prime by more than D: nothing");
  row(p * R, s, L2 - 1, q, 0, 0, "B1 one below the rest: neither stage");
  found++)};

\\ Two primes smooth on the same curve: stage 1 meets both at once, and the
\\ replay with a gcd per step separates them (the one completed first).
found = 0;
{while (found < 3,
  my(p1 = nextprime(2^22 + random(2^22)), p2 = nextprime(2^22 + random(2^22)), s = 6 + random(2^62),
     b1 = 3000, o1, o2, st, c1, c2);
  if (p1 == p2, next);
  o1 = order(p1, s); o2 = order(p2, s);
  if (o1 == 0 || o2 == 0 || toppower(o1) > b1 || toppower(o2) > b1, next);
  st = steps(b1); c1 = completion(o1, st); c2 = completion(o2, st);
  if (c1 == c2, next);
  row(p1 * p2, s, b1, b1, 1, if (c1 < c2, p1, p2),
      Str("orders ", o1, " and ", o2, ": complete at steps ", c1, " and ", c2, " of ", #st));
  found++)};
