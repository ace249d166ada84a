URL='http://127.0.0.1:/hook'
function over(id, status, body) print('ended ' .. id .. ' ' .. status .. ' ' .. body) end
for i = 1, 3 do httpRequest('GET', URL, nil, nil, 'over') end
